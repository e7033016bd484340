#include "certificates/TrustStore.h"

#include <QList>

#include <curl/curl.h>
#include <sys/stat.h>

namespace {
bool exists(const QByteArray &path, mode_t type) {
    struct stat info = {};
    return !path.isEmpty() && ::stat(path.constData(), &info) == 0 &&
           (info.st_mode & S_IFMT) == type;
}
} // namespace

const QList<QByteArray> &TrustStore::knownBundles() {
    // Debian, Ubuntu, Arch; Fedora and RHEL; openSUSE; Alpine.
    static const QList<QByteArray> bundles = {
        QByteArrayLiteral("/etc/ssl/certs/ca-certificates.crt"),
        QByteArrayLiteral("/etc/pki/tls/certs/ca-bundle.crt"),
        QByteArrayLiteral("/etc/pki/ca-trust/extracted/pem/tls-ca-bundle.pem"),
        QByteArrayLiteral("/etc/ssl/ca-bundle.pem"), QByteArrayLiteral("/etc/ssl/cert.pem")};
    return bundles;
}

const QList<QByteArray> &TrustStore::knownFolders() {
    static const QList<QByteArray> folders = {QByteArrayLiteral("/etc/ssl/certs"),
                                              QByteArrayLiteral("/etc/pki/tls/certs")};
    return folders;
}

TrustStore TrustStore::choose(const TrustStore &defaults,
                              const std::function<bool(const QByteArray &)> &isFile,
                              const std::function<bool(const QByteArray &)> &isFolder) {
    if (!defaults.caFile.isEmpty() && isFile(defaults.caFile))
        return {defaults.caFile, QByteArray()};
    if (!defaults.caPath.isEmpty() && isFolder(defaults.caPath))
        return {QByteArray(), defaults.caPath};
    for (const QByteArray &bundle : knownBundles())
        if (isFile(bundle))
            return {bundle, QByteArray()};
    for (const QByteArray &folder : knownFolders())
        if (isFolder(folder))
            return {QByteArray(), folder};
    return defaults;
}

TrustStore TrustStore::libcurlDefaults() {
    TrustStore defaults;
#if LIBCURL_VERSION_NUM >= 0x075400 // 7.84.0 tells its defaults
    if (CURL *easy = curl_easy_init()) {
        char *text = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &text) == CURLE_OK && text)
            defaults.caFile = text;
        text = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_CAPATH, &text) == CURLE_OK && text)
            defaults.caPath = text;
        curl_easy_cleanup(easy);
    }
#endif
    return defaults;
}

TrustStore TrustStore::choose(const TrustStore &defaults) {
    return choose(
        defaults, [](const QByteArray &path) { return exists(path, S_IFREG); },
        [](const QByteArray &path) { return exists(path, S_IFDIR); });
}

const TrustStore &TrustStore::system() {
    static const TrustStore store = choose(libcurlDefaults());
    return store;
}

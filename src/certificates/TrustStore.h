#pragma once

#include <QByteArray>

#include <functional>

// Where https checks find the certificate authorities they trust: a PEM bundle, a hashed folder
// (one file per authority, named by the hash of its subject), or both.
//
// libcurl keeps the authorities it parsed for the next handshake of the same multi handle, but
// only when they come from a bundle alone; with a folder beside it, every handshake parses the
// whole bundle again (about 140 certificates, some 26 ms of CPU here, 25 times the handshake
// itself). Distributions build libcurl with both, holding the same certificates, so the system's
// store is chosen once for the process: the bundle alone when there is one, else the folder,
// which OpenSSL reads lazily (one small file per issuer it looks up).
class TrustStore {
public:
    QByteArray caFile; // empty for none
    QByteArray caPath; // empty for none

    bool operator==(const TrustStore &) const = default;

    // A bundle alone is parsed once and kept between handshakes.
    bool isCached() const { return !caFile.isEmpty() && caPath.isEmpty(); }

    // Bundles and folders where distributions keep the system's authorities, looked at when
    // libcurl's own defaults name nothing that exists.
    static const QList<QByteArray> &knownBundles();
    static const QList<QByteArray> &knownFolders();

    // The store for libcurl's defaults (`defaults`, what it was built with): the default bundle
    // alone when it is a file, else the default folder when it is one, else the first known
    // bundle or folder that exists. When nothing exists the defaults are kept as they are, so a
    // handshake still fails naming what is missing: there is never a store that trusts nothing
    // in place of one that would.
    static TrustStore choose(const TrustStore &defaults,
                             const std::function<bool(const QByteArray &)> &isFile,
                             const std::function<bool(const QByteArray &)> &isFolder);

    // The same, asking this machine's file system.
    static TrustStore choose(const TrustStore &defaults);

    // What this libcurl was built to use (CURLINFO_CAINFO, CURLINFO_CAPATH).
    static TrustStore libcurlDefaults();
    // The system's store, chosen from libcurl's defaults once per process.
    static const TrustStore &system();
    // The store for one bundle given in place of the system's.
    static TrustStore bundle(const QByteArray &caFile) { return {caFile, QByteArray()}; }
};

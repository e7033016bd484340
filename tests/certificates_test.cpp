#include "certificates/CertificateDate.h"
#include "certificates/CertificateNotice.h"
#include "certificates/ServerCertificate.h"
#include "certificates/TrustStore.h"
#include "http/HttpClient.h"
#include "support/TestTlsServer.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <set>

// What a certificate's expiry means to the user.
TEST(CertificateNoticeTest, DaysLeftAreWholeDaysAndWarnWithinFourteen) {
    const QDateTime now(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc());
    const auto line = [&](qint64 seconds) {
        return CertificateNotice::toolTipLine(now.addSecs(seconds), now).value_or(QString());
    };
    constexpr qint64 day = 86400;
    EXPECT_EQ(line(14 * day), QStringLiteral("Certificate: 14 days left"));
    EXPECT_EQ(line(14 * day - 1), QStringLiteral("Warning: the certificate runs out in 13 days"));
    EXPECT_EQ(line(day + 1), QStringLiteral("Warning: the certificate runs out in 1 day"));
    EXPECT_EQ(line(60), QStringLiteral("Warning: the certificate runs out today"));
    EXPECT_EQ(line(0), QStringLiteral("Warning: the certificate has run out"));
    EXPECT_FALSE(CertificateNotice::toolTipLine(std::nullopt, now));
    EXPECT_EQ(CertificateNotice::daysLeft(now.addSecs(-60), now), -1)
        << "a certificate that ran out a minute ago is not at day 0";
}

TEST(CertificateDateTest, ReadsTheTextsLibcurlReports) {
    const QDateTime expected(QDate(2027, 3, 1), QTime(12, 0, 5), QTimeZone::utc());
    EXPECT_EQ(CertificateDate::parse(QStringLiteral("Mar  1 12:00:05 2027 GMT")), expected);
    EXPECT_EQ(CertificateDate::parse(QStringLiteral("Mar 01 12:00:05 2027 GMT")), expected);
    EXPECT_EQ(CertificateDate::parse(QStringLiteral("2027-03-01 12:00:05 GMT")), expected);
    EXPECT_EQ(CertificateDate::parse(QStringLiteral("Dec 31 23:59:59 2049 GMT")),
              QDateTime(QDate(2049, 12, 31), QTime(23, 59, 59), QTimeZone::utc()));
    for (const char *text : {"", "Foo  1 12:00:05 2027 GMT", "Feb 30 12:00:00 2027 GMT",
                             "Mar  1 25:00:00 2027 GMT", "Mar  1 12:00:05 2027", "tomorrow"})
        EXPECT_FALSE(CertificateDate::parse(QString::fromLatin1(text))) << text;
}

// The pin is the digest of the key's DER SubjectPublicKeyInfo whatever the kind of key, as the
// `openssl` command computes it; a certificate that is not well-formed DER has none.
TEST(ServerCertificateTest, ThePinIsTheDigestOfTheKeyForEveryKindOfKey) {
    for (const char *type : {"ec", "rsa", "ed25519"}) {
        SCOPED_TRACE(type);
        const TestCertificates made(1, {QStringLiteral("key.invalid"), QString::fromLatin1(type)});
        ASSERT_TRUE(made.ok()) << made.error.toStdString();
        QProcess openssl;
        openssl.start(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("openssl x509 -pubkey -noout -in \"$0\" | openssl pkey "
                            "-pubin -outform DER | openssl dgst -sha256 -binary | base64"),
             made.certificateFile()});
        ASSERT_TRUE(openssl.waitForFinished(20000) && openssl.exitCode() == 0);
        const QByteArray expected = "sha256//" + openssl.readAllStandardOutput().trimmed();

        QFile file(made.certificateFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray pem = file.readAll();
        const std::optional<ServerCertificate> read = ServerCertificate::fromPem(pem);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->publicKeyPin, expected);

        // Cut anywhere, or with its outer length made too long, it reads as nothing.
        const QByteArray der = QSslCertificate(pem).toDer();
        for (qsizetype cut = 0; cut < der.size(); cut += 7)
            EXPECT_TRUE(ServerCertificate::pinOf(der.first(cut)).isEmpty()) << cut;
        QByteArray longer = der;
        longer[3] = char(quint8(longer[3]) + 1);
        EXPECT_TRUE(ServerCertificate::pinOf(longer).isEmpty());
    }
    EXPECT_FALSE(ServerCertificate::fromPem("not a certificate"));
}

TEST(TrustStoreTest, TheSystemsStoreIsOneBundleWhereThereIsOneElseTheFolder) {
    const QByteArray file = "/lib/ssl/certs.pem";
    const QByteArray folder = "/lib/ssl/certs";
    const QByteArray known = TrustStore::knownBundles().last();
    const QByteArray knownFolder = TrustStore::knownFolders().first();
    struct Case {
        const char *what;
        TrustStore defaults;
        std::set<QByteArray> files, folders; // what exists
        TrustStore chosen;
    };
    const QList<Case> cases = {
        {"both, as distributions build libcurl", {file, folder}, {file}, {folder}, {file, {}}},
        {"a bundle alone", {file, {}}, {file}, {}, {file, {}}},
        {"only a folder", {{}, folder}, {}, {folder}, {{}, folder}},
        {"the bundle is missing", {file, folder}, {}, {folder}, {{}, folder}},
        {"neither exists, a known bundle does", {file, folder}, {known}, {}, {known, {}}},
        {"no defaults at all", {}, {known}, {knownFolder}, {known, {}}},
        {"only a known folder", {}, {}, {knownFolder}, {{}, knownFolder}},
        // Nothing to trust anywhere: the handshake still says which file is missing.
        {"nothing exists", {file, folder}, {}, {}, {file, folder}},
        // A bundle is never taken for a folder, nor a folder for a bundle.
        {"kinds swapped", {file, folder}, {folder}, {file}, {file, folder}},
    };
    for (const Case &c : cases) {
        const TrustStore chosen = TrustStore::choose(
            c.defaults, [&](const QByteArray &path) { return c.files.contains(path); },
            [&](const QByteArray &path) { return c.folders.contains(path); });
        EXPECT_EQ(chosen.caFile, c.chosen.caFile) << c.what;
        EXPECT_EQ(chosen.caPath, c.chosen.caPath) << c.what;
    }

    // This machine's libcurl names both, and the bundle exists: a store that is kept.
    EXPECT_TRUE(TrustStore::system().isCached()) << TrustStore::system().caFile.constData() << " "
                                                 << TrustStore::system().caPath.constData();
    EXPECT_EQ(HttpClient().trust(), TrustStore::system()) << "every client starts with it";
}

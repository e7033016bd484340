// "Check for Updates": version ordering, reading the feed, the verdict, the dialog, and the
// updater end to end against a feed served on loopback.
#include "app/BuildInfo.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "updates/UpdateCheckResult.h"
#include "updates/UpdateDialog.h"
#include "updates/UpdateFeed.h"
#include "updates/Updater.h"
#include "updates/Version.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace {
using Kind = UpdateCheckResult::Kind;

// "<", "=", ">" or "invalid", so a failure shows both versions and the order found.
std::string order(const char *a, const char *b) {
    const auto o = compareVersions(QString::fromUtf8(a), QString::fromUtf8(b));
    if (!o)
        return "invalid";
    return *o < 0 ? "<" : (*o > 0 ? ">" : "=");
}

// A feed listing (version, download page) pairs in the given order.
QByteArray feed(const std::vector<std::pair<QString, QString>> &releases,
                const QString &padding = {}) {
    QJsonArray list;
    for (const auto &[version, page] : releases)
        list.append(QJsonObject{{QStringLiteral("version"), version},
                                {QStringLiteral("downloadPage"), page}});
    QJsonObject root{{QStringLiteral("releases"), list}};
    if (!padding.isEmpty())
        root.insert(QStringLiteral("padding"), padding);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QAbstractButton *buttonNamed(const QMessageBox &box, const QString &text) {
    for (QAbstractButton *button : box.buttons())
        if (button->text().remove(QLatin1Char('&')) == text)
            return button;
    return nullptr;
}

// Numbers compare as numbers one by one, missing numbers count as zero, a leading v is dropped,
// and pre-releases come before their release. One "a order b" per line.
TEST(VersionTest, OrdersVersionsAsReleasesAreNumberedAndRejectsWhatIsNoVersion) {
    const QString rows = QStringLiteral(R"(
        1.10.0 > 1.9.2, 1.9.2 < 1.10.0, 0.9 < 0.10, 2.0 > 1.99.99, 10.0.0 > 9.0.0, 1.02 = 1.2
        18446744073709551615 > 18446744073709551614
        1.2 = 1.2.0, 1 = 1.0.0.0, 1.2 < 1.2.0.1, 1.2.0.1 > 1.2
        v1.2.0 = 1.2, V2 > v1.9
        1.2.0-beta < 1.2.0, 1.2.0 > 1.2-rc.1, 1.2.0-beta > 1.1.9, 1.0-1 < 1.0-alpha
        1.0-alpha < 1.0-beta, 1.0-beta < 1.0-beta.2, 1.0-beta.2 < 1.0-beta.10, 1.0-beta.10 < 1.0-rc
        1.0-rc-2 = 1.0-rc-2, 1.0-rc.1 = 1.0.0-rc.1)");
    int compared = 0;
    for (const QString &row :
         rows.split(QRegularExpression(QStringLiteral("[,\n]")), Qt::SkipEmptyParts)) {
        const QStringList parts = row.simplified().split(u' ');
        if (parts == QStringList{QString()})
            continue;
        ASSERT_EQ(parts.size(), 3) << row.toStdString();
        EXPECT_EQ(order(parts[0].toUtf8().constData(), parts[2].toUtf8().constData()),
                  parts[1].toStdString())
            << row.toStdString();
        ++compared;
    }
    EXPECT_EQ(compared, 23) << "every row was read";
    EXPECT_EQ(Version::parse(u"v1.2.0-rc.1")->toString(), QStringLiteral("1.2.0-rc.1"));
    EXPECT_EQ(Version::parse(u"1.2")->toString(), QStringLiteral("1.2"));

    const auto refused = [](const char *text) {
        EXPECT_EQ(order(text, "1.0"), "invalid") << text;
        EXPECT_EQ(order("1.0", text), "invalid") << text;
    };
    for (const char *text :
         {"", "v", "vv1", "1.", ".1", "1..2", "1.2a", "1.2 ", " 1.2", "1,2", "+1", "0x10", "1.-1",
          "1.2-", "-beta", "1.2-beta..1", "1.2-b\u00e9ta", "1.2+build.5", "1.2-beta+5"})
        refused(text);
    // Digits of another script, and numbers beyond 64 bits.
    for (const char *text : {"\u0661.\u0662", "18446744073709551616", "99999999999999999999999"})
        refused(text);
}

TEST(UpdateFeedTest, TheNewestIsTheHighestReleaseWhateverTheOrderSkippingWhatIsNoRelease) {
    const QByteArray json = R"json({"releases": [
        {"version": "1.0.0", "downloadPage": "https://a.invalid/1.0.0"},
        {"version": "latest", "downloadPage": "https://a.invalid/latest"},
        {"version": 9, "downloadPage": "https://a.invalid/9"},
        {"version": "8.0"},
        {"version": "7.0", "downloadPage": 7},
        {"version": "6.0", "downloadPage": "file:///etc/passwd"},
        "4.0", null, [],
        {"version": "1.0.10", "downloadPage": "http://a.invalid/1.0.10", "notes": "fixes"},
        {"version": "1.0.9", "downloadPage": "https://a.invalid/1.0.9"}
    ]})json";
    const UpdateFeed::Reading reading = UpdateFeed::read(json);
    ASSERT_TRUE(reading.newest) << reading.error.toStdString();
    EXPECT_EQ(reading.newest->version.toString(), QStringLiteral("1.0.10"));
    EXPECT_EQ(reading.newest->downloadPage, QUrl(QStringLiteral("http://a.invalid/1.0.10")));

    // A download page is a web address with a host.
    for (const char *page : {"https://a.invalid/x?y=1#z", "HTTP://a.invalid", "http://[::1]:8/"})
        EXPECT_TRUE(UpdateFeed::isDownloadPage(QString::fromUtf8(page))) << page;
    for (const char *page :
         {"", "file:///etc/passwd", "javascript:alert(1)", "ftp://a.invalid/", "mailto:a@a.invalid",
          "data:text/html,hi", "//a.invalid/x", "/relative", "a.invalid", "http:", "http:rootless",
          "http:///path", "https://a invalid/", "https://a.invalid/\u00e9"})
        EXPECT_FALSE(UpdateFeed::isDownloadPage(QString::fromUtf8(page))) << page;
}

TEST(UpdateFeedTest, AFeedWithoutReleasesSaysWhy) {
    const auto refusedWith = [](const char *error, std::initializer_list<QByteArray> jsons) {
        for (const QByteArray &json : jsons) {
            const UpdateFeed::Reading reading = UpdateFeed::read(json);
            EXPECT_FALSE(reading.newest) << json.constData();
            EXPECT_EQ(reading.error, QLatin1String(error)) << json.constData();
        }
    };
    refusedWith("the update feed is not valid JSON",
                {"", "<html>moved</html>", R"({"releases": [)"});
    refusedWith("the update feed has no list of releases",
                {"[]", "{}", R"({"releases": {"version": "1.0"}})", R"({"Releases": []})"});
    refusedWith("the update feed lists no release",
                {R"({"releases": []})",
                 R"({"releases": [{"version": "2.0", "downloadPage": "file:///x"}]})"});
}

TEST(UpdateFeedTest, TheFeedIsTrustedOverHttpsOrFromThisMachine) {
    for (const char *url :
         {"https://tarvik.morvane.invalid/releases.json", "http://127.0.0.1:8080/feed",
          "http://127.1.2.3/feed", "http://[::1]/feed", "http://localhost:9/feed"})
        EXPECT_FALSE(UpdateFeed::addressProblem(QString::fromUtf8(url))) << url;
    for (const char *url :
         {"http://tarvik.morvane.invalid/feed", "http://127.0.0.1.morvane.invalid/"})
        EXPECT_EQ(UpdateFeed::addressProblem(QString::fromUtf8(url)),
                  QStringLiteral("the update feed must be served over https"))
            << url;
    for (const char *url : {"ftp://127.0.0.1/feed", "file:///tmp/feed.json", "releases.json", ""})
        EXPECT_EQ(UpdateFeed::addressProblem(QString::fromUtf8(url)),
                  QStringLiteral("the update feed address is not an http or https address"))
            << url;

    // An https feed may not be redirected to plain http either. (That a plain http feed is let
    // through is the fuzzer's to check, and that the body is kept, the updater's tests'.)
    EXPECT_TRUE(UpdateFeed::requestOptions(QStringLiteral("https://a.invalid/")).httpsOnly);

    // The build's own feed is one we may fetch, and its version one we can compare. No feed at
    // all is fine too: such a build gets its updates from the package manager.
    if (!BuildInfo::updateFeedUrl().isEmpty()) {
        EXPECT_FALSE(UpdateFeed::addressProblem(BuildInfo::updateFeedUrl()))
            << BuildInfo::updateFeedUrl().toStdString();
    }
    EXPECT_TRUE(Version::parse(BuildInfo::version())) << BuildInfo::version().toStdString();
}

// Only an update offers more than OK: Download, which opens its page, or Later.
TEST(UpdateDialogTest, AnUpdateOffersDownloadAndOtherOutcomesOnlyInformInPlainText) {
    const auto fromFeed = [](const char *version) {
        return UpdateCheckResult::fromFeed(
            feed({{QString::fromLatin1(version), QStringLiteral("https://a.invalid/2.0")}}),
            QStringLiteral("1.0"));
    };
    const std::tuple<UpdateCheckResult, Kind, const char *> rows[] = {
        {fromFeed("2.0"), Kind::UpdateAvailable, "Download Later"},
        {fromFeed("1.0"), Kind::UpToDate, "OK"},
        {fromFeed("0.9"), Kind::UpToDate,
         "OK"}, // a build newer than any release, as in development
        {UpdateCheckResult::failed(QStringLiteral("<b>HTTP</b> <a href=\"x\">status</a> 500")),
         Kind::Failed, "OK"}};
    for (const auto &[result, kind, buttons] : rows) {
        EXPECT_EQ(result.kind, kind) << result.message.toStdString();
        std::vector<QUrl> opened;
        const std::unique_ptr<QMessageBox> box =
            UpdateDialog::create(result, [&](const QUrl &url) { opened.push_back(url); });
        EXPECT_EQ(box->text(), result.message);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        QStringList texts;
        for (QAbstractButton *button : box->buttons())
            texts.append(button->text().remove(QLatin1Char('&')));
        texts.sort();
        EXPECT_EQ(texts.join(u' '), QLatin1String(buttons));
        for (const QString &other : {QStringLiteral("Later"), QStringLiteral("OK")})
            if (QAbstractButton *button = buttonNamed(*box, other))
                button->click();
        EXPECT_TRUE(opened.empty());
        // What Download opens is read through the updater below.
        if (QAbstractButton *download = buttonNamed(*box, QStringLiteral("Download"))) {
            EXPECT_EQ(box->defaultButton(), download);
        }
    }
}

class UpdaterTest : public ::testing::Test {
protected:
    std::unique_ptr<Updater> quietUpdater(const QString &feedUrl) {
        auto updater = std::make_unique<Updater>(feedUrl, QStringLiteral("1.2.0"));
        updater->setQuiet(true);
        return updater;
    }

    // Runs one check and returns the single result it reported.
    static UpdateCheckResult checkOnce(Updater &updater) {
        QSignalSpy reports(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        EXPECT_TRUE(waitUntil([&] { return !reports.empty(); }));
        EXPECT_EQ(reports.size(), 1);
        return reports.empty() ? UpdateCheckResult{} : reports[0][0].value<UpdateCheckResult>();
    }

    QString feedAt(const QString &name, const QByteArray &body) {
        server.serve(name, body);
        return server.url(QStringLiteral("/body/") + name);
    }

    TestHttpServer server;
};

TEST_F(UpdaterTest, AFeedThatCannotBeFetchedOrReadFailsAndSaysWhy) {
    const auto refused = quietUpdater(QStringLiteral("http://127.0.0.1:1/releases.json"));
    const UpdateCheckResult result = checkOnce(*refused);
    EXPECT_EQ(result.kind, Kind::Failed);
    EXPECT_TRUE(result.message.startsWith(QStringLiteral("Couldn't check for updates: ")));
    EXPECT_GT(result.message.size(), QStringLiteral("Couldn't check for updates: ").size());

    const std::pair<QString, const char *> rows[] = {
        {server.url(QStringLiteral("/status/404")), "HTTP status 404"},
        // Refused before any request: a plain http feed elsewhere could be anyone's.
        {QStringLiteral("http://192.0.2.1/releases.json"),
         "the update feed must be served over https"},
        // How a feed is read is tested in-process above; that its reason is passed on, here.
        {feedAt(QStringLiteral("bad"),
                feed({{QStringLiteral("9.0"), QStringLiteral("file:///usr/bin/xterm")},
                      {QStringLiteral("8.0"), QStringLiteral("smb://a.invalid/share")}})),
         "the update feed lists no release"},
    };
    for (const auto &[url, why] : rows) {
        const auto updater = quietUpdater(url);
        const UpdateCheckResult failed = checkOnce(*updater);
        EXPECT_EQ(failed.kind, Kind::Failed) << why;
        EXPECT_EQ(failed.message,
                  QStringLiteral("Couldn't check for updates: ") + QLatin1String(why));
    }
}

TEST_F(UpdaterTest, AFeedIsReadUpToOneMebibyte) {
    const qsizetype limit = 1024 * 1024;
    const QByteArray bare =
        feed({{QStringLiteral("2.0"), QStringLiteral("https://a.invalid/")}}, QStringLiteral("x"));
    // Padding that brings the document to exactly `size` bytes.
    const auto feedOfSize = [&](qsizetype size) {
        return feed({{QStringLiteral("2.0"), QStringLiteral("https://a.invalid/")}},
                    QString(size - bare.size() + 1, QLatin1Char('x')));
    };
    server.serve(QStringLiteral("full"), feedOfSize(limit));
    server.serve(QStringLiteral("over"), feedOfSize(limit + 1));
    ASSERT_EQ(feedOfSize(limit + 1).size(), limit + 1);

    // Whether the server declares the length or not, the client bounds a body alike.
    const auto full = quietUpdater(server.url(QStringLiteral("/unsized/full")));
    EXPECT_EQ(checkOnce(*full).kind, Kind::UpdateAvailable);
    const auto over = quietUpdater(server.url(QStringLiteral("/unsized/over")));
    EXPECT_EQ(checkOnce(*over).message,
              QStringLiteral("Couldn't check for updates: the response is larger than "
                             "1048576 bytes"));
}

TEST_F(UpdaterTest, WithoutAFeedUpdatesComeFromThePackageManager) {
    Updater updater(QString(), QStringLiteral("1.2.0"));
    QSignalSpy reports(&updater, &Updater::checkFinished);
    updater.checkForUpdates();
    EXPECT_TRUE(reports.empty()) << "the outcome arrives from the event loop";
    ASSERT_TRUE(waitUntil([&] { return !reports.empty(); }));
    const UpdateCheckResult result = reports[0][0].value<UpdateCheckResult>();
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::FromPackageManager);
    EXPECT_TRUE(result.message.contains(QStringLiteral("package manager")));
    ASSERT_TRUE(updater.dialog());
    EXPECT_EQ(updater.dialog()->text(), result.message);
    EXPECT_EQ(updater.dialog()->icon(), QMessageBox::Information) << "nothing failed";
    EXPECT_FALSE(updater.isChecking());
    updater.dialog()->close();
}

TEST_F(UpdaterTest, AClickDuringACheckStartsNoSecondFetch) {
    const auto updater =
        quietUpdater(feedAt(QStringLiteral("feed"),
                            feed({{QStringLiteral("1.3"), QStringLiteral("https://a.invalid/")}})));
    QSignalSpy reports(updater.get(), &Updater::checkFinished);
    updater->checkForUpdates();
    EXPECT_TRUE(updater->isChecking());
    updater->checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return !reports.empty(); }));
    EXPECT_FALSE(updater->isChecking());
    EXPECT_EQ(updater->dialog(), nullptr) << "quiet updaters show nothing";
    spin(200);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(server.requests(QStringLiteral("/body/feed")), 1);

    updater->checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return reports.size() == 2; }));
    EXPECT_EQ(server.requests(QStringLiteral("/body/feed")), 2) << "a later click checks again";
}

// The newest release with a web page decides, against the running version 1.2.0; the verdicts
// themselves are read in-process above.
TEST_F(UpdaterTest, TheNewestReleaseIsOfferedAndTheDialogsDownloadButtonOpensItsPage) {
    const QString page = QStringLiteral("https://a.invalid/tarvik?v=1.4.0");
    Updater updater(feedAt(QStringLiteral("feed"), feed({{QStringLiteral("1.3.5"), page + u'1'},
                                                         {QStringLiteral("1.4.0"), page}})),
                    QStringLiteral("1.2.0"));
    std::vector<QUrl> opened;
    updater.setUrlOpener([&](const QUrl &url) { opened.push_back(url); });

    const UpdateCheckResult result = checkOnce(updater);
    EXPECT_EQ(result.kind, Kind::UpdateAvailable) << result.message.toStdString();
    EXPECT_EQ(result.message, QStringLiteral("Tarvik 1.4.0 is available \u2014 you have 1.2.0."));
    QPointer<QMessageBox> box = updater.dialog();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), result.message);
    QAbstractButton *download = buttonNamed(*box, QStringLiteral("Download"));
    ASSERT_NE(download, nullptr);
    download->click();
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl(page)});
    EXPECT_FALSE(box->isVisible());

    checkOnce(updater);
    EXPECT_FALSE(box) << "the next result replaces the old dialog";
    ASSERT_NE(updater.dialog(), nullptr);
    EXPECT_TRUE(updater.dialog()->isVisible());
}
} // namespace

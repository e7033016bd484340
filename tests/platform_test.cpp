// What the platform layer adds to Qt: the strict URL parser and the curl client.
#include "platform/HttpClient.h"
#include "platform/UrlParser.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
std::optional<QString> schemeOf(const QString &text) {
    const auto url = UrlParser::parse(text);
    return url ? url->scheme : std::nullopt;
}

TEST(UrlParserTest, ReportsTheSchemeAsWritten) {
    EXPECT_EQ(schemeOf(QStringLiteral("https://example.com/a?b#c")), QStringLiteral("https"));
    EXPECT_EQ(schemeOf(QStringLiteral("ftp://example.com")), QStringLiteral("ftp"));
    EXPECT_EQ(schemeOf(QStringLiteral("localhost:8080")), QStringLiteral("localhost"));
    EXPECT_EQ(schemeOf(QStringLiteral("HTTP://x")), QStringLiteral("HTTP"));
    EXPECT_EQ(schemeOf(QStringLiteral("a+b.c-d:rest")), QStringLiteral("a+b.c-d"));
    EXPECT_EQ(schemeOf(QStringLiteral("mailto:someone@example.com?Subject=Hi")),
              QStringLiteral("mailto"));
}

TEST(UrlParserTest, TextsWithoutASchemeStillParse) {
    for (const char *text : {"example.com", "www.example.com/status", "//host:80/p", "/abs",
                             "a/b:c", "?q", "#f", "%41bc"}) {
        const auto url = UrlParser::parse(QString::fromLatin1(text));
        ASSERT_TRUE(url) << text;
        EXPECT_FALSE(url->scheme) << text;
    }
}

TEST(UrlParserTest, RejectsWhatIsNotAUriReference) {
    for (const QString &text :
         {QString(), QStringLiteral("http://exa mple.com"), QStringLiteral("caf\u00e9.com"),
          QStringLiteral("http://example.com/\u00e9"), QStringLiteral("http://a/%zz"),
          QStringLiteral("http://a/%4"), QStringLiteral("1abc:foo"), QStringLiteral("http://a:b/"),
          QStringLiteral("http://[::1/"), QStringLiteral("http://[zz]/"),
          QStringLiteral("http://a/b#c#d"), QStringLiteral("a\"b"), QStringLiteral("a{b}"),
          QStringLiteral("http://a\\b")})
        EXPECT_FALSE(UrlParser::parse(text)) << text.toStdString();
}

TEST(UrlParserTest, AcceptsAuthoritiesOfEveryForm) {
    for (const char *text : {"http://user:pw@host:8080/p", "http://[::1]:80/", "http://[v1.x]/",
                             "http://127.0.0.1/", "http://host:/", "http:", "http:rootless"})
        EXPECT_TRUE(UrlParser::parse(QString::fromLatin1(text))) << text;
    EXPECT_EQ(UrlParser::parse(QStringLiteral("http://u@h:1/p?q#f"))->authority,
              QStringLiteral("u@h:1"));
}

TEST(UrlParserTest, OnlyHttpAndHttpsAreWebAddresses) {
    EXPECT_TRUE(UrlParser::isWebAddress(QStringLiteral("http://a")));
    EXPECT_TRUE(UrlParser::isWebAddress(QStringLiteral("HTTPS://a")));
    EXPECT_FALSE(UrlParser::isWebAddress(QStringLiteral("ftp://a")));
    EXPECT_FALSE(UrlParser::isWebAddress(QStringLiteral("a.com")));
    EXPECT_FALSE(UrlParser::isWebAddress(QStringLiteral("http://a b")));
}

class HttpClientTest : public ::testing::Test {
protected:
    TestHttpServer server;
    HttpClient client;
};

TEST_F(HttpClientTest, ManyRequestsAllCompleteOnceEach) {
    // More than two batches of handle additions.
    const int count = 2 * HttpClient::batchSize + 17;
    std::vector<int> completions(count, 0);
    for (int i = 0; i < count; ++i)
        client.get(server.url(QStringLiteral("/ok")).toUtf8(),
                   [&completions, i](const HttpResult &r) { completions[i] += r.ok ? 1 : 100; });
    EXPECT_EQ(client.inFlight(), count);
    ASSERT_TRUE(waitUntil([&] { return client.inFlight() == 0; }, 15000));
    spin(50);
    EXPECT_EQ(std::count(completions.begin(), completions.end(), 1), count);
}

TEST_F(HttpClientTest, EveryRequestIsAFreshPlainGet) {
    int done = 0;
    for (int i = 0; i < 3; ++i) {
        client.get(server.url(QStringLiteral("/ok")).toUtf8(), [&](const HttpResult &) { ++done; });
        ASSERT_TRUE(waitUntil([&] { return done == i + 1; }));
    }
    EXPECT_EQ(server.connections(), 3) << "no connection is reused between requests";
    for (const QByteArray &name : server.lastHeaderNames())
        EXPECT_TRUE(name == "host" || name == "accept") << name.constData();
}

TEST_F(HttpClientTest, DurationIsTheWholeTransfer) {
    std::optional<HttpResult> result;
    client.get(server.url(QStringLiteral("/delay/250")).toUtf8(),
               [&](const HttpResult &r) { result = r; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(result->ok);
    EXPECT_EQ(result->status, std::optional<int>(200));
    EXPECT_TRUE(result->error.isEmpty());
    EXPECT_GE(result->seconds, 0.25);
    EXPECT_LT(result->seconds, 2.0);
}

TEST_F(HttpClientTest, FailuresCarryAReason) {
    std::optional<HttpResult> notFound, refused;
    client.get(server.url(QStringLiteral("/status/404")).toUtf8(),
               [&](const HttpResult &r) { notFound = r; });
    client.get("http://127.0.0.1:1/", [&](const HttpResult &r) { refused = r; });
    ASSERT_TRUE(waitUntil([&] { return notFound && refused; }));
    EXPECT_FALSE(notFound->ok);
    EXPECT_EQ(notFound->status, std::optional<int>(404));
    EXPECT_FALSE(notFound->error.isEmpty());
    EXPECT_FALSE(refused->ok);
    EXPECT_FALSE(refused->status);
    EXPECT_FALSE(refused->error.isEmpty());
}

TEST(HttpClientLifetimeTest, DestroyingTheClientDropsRequestsInFlight) {
    TestHttpServer server;
    int completions = 0;
    {
        HttpClient client;
        for (int i = 0; i < 80; ++i)
            client.get(server.url(QStringLiteral("/hang")).toUtf8(),
                       [&](const HttpResult &) { ++completions; });
        waitUntil([&] { return server.totalRequests() >= 60; }, 3000);
    }
    spin(100);
    EXPECT_EQ(completions, 0);
}
} // namespace

// What Tarvik adds to Qt for HTTP: the strict URL parser and the curl client.
#include "http/HttpClient.h"
#include "http/UrlParser.h"
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
    // Requests `path` from the test server and waits for the outcome.
    HttpResult fetch(const QString &path, const HttpRequestOptions &options = {}) {
        std::optional<HttpResult> result;
        client.get(server.url(path).toUtf8(), options, [&](const HttpResult &r) { result = r; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); })) << path.toStdString();
        return result.value_or(HttpResult{});
    }

    static HttpRequestOptions keepingUpTo(qsizetype bytes) {
        HttpRequestOptions options;
        options.keepBody = true;
        options.maxBodyBytes = bytes;
        return options;
    }

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

TEST_F(HttpClientTest, BodiesAreKeptOnlyWhenAskedFor) {
    server.serve(QStringLiteral("doc"), "{\"hello\": 1}");
    const HttpResult plain = fetch(QStringLiteral("/body/doc"));
    EXPECT_TRUE(plain.ok);
    EXPECT_TRUE(plain.body.isEmpty());

    const HttpResult kept = fetch(QStringLiteral("/body/doc"), keepingUpTo(100));
    EXPECT_TRUE(kept.ok) << kept.error.toStdString();
    EXPECT_EQ(kept.body, QByteArray("{\"hello\": 1}"));

    const HttpResult failed = fetch(QStringLiteral("/status/404"), keepingUpTo(100));
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed.body.isEmpty()) << "an error page is not the document asked for";
}

TEST_F(HttpClientTest, KeptBodiesAreBoundedWhetherOrNotTheServerDeclaresTheLength) {
    server.serve(QStringLiteral("fits"), QByteArray(1000, 'a'));
    server.serve(QStringLiteral("over"), QByteArray(1001, 'b'));
    for (const QString &route : {QStringLiteral("/body/"), QStringLiteral("/unsized/")}) {
        SCOPED_TRACE(route.toStdString());
        const HttpResult fits = fetch(route + QStringLiteral("fits"), keepingUpTo(1000));
        EXPECT_TRUE(fits.ok) << fits.error.toStdString();
        EXPECT_EQ(fits.body, QByteArray(1000, 'a'));

        const HttpResult over = fetch(route + QStringLiteral("over"), keepingUpTo(1000));
        EXPECT_FALSE(over.ok);
        EXPECT_TRUE(over.body.isEmpty());
        EXPECT_EQ(over.error, QStringLiteral("the response is larger than 1000 bytes"));
    }
}

TEST_F(HttpClientTest, HttpsOnlyRequestsNeverSpeakPlainHttp) {
    HttpRequestOptions options;
    options.httpsOnly = true;
    const HttpResult refused = fetch(QStringLiteral("/ok"), options);
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.error.isEmpty());
    EXPECT_EQ(server.connections(), 0);
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

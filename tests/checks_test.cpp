// A host's check options: the status list, reading and writing the "check" object, what each
// field accepts.
#include "checks/CheckOptions.h"
#include "checks/CheckOptionsJson.h"
#include "checks/StatusExpectation.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {
const char *const kPin = "sha256//AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=";

std::string str(const QString &text) {
    return text.toStdString();
}

QJsonValue json(const char *text) {
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray("[") + text + QByteArray("]"), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return document.array().at(0);
}

std::string compact(const QJsonObject &o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

// Options read from a "check" object the test knows is good.
CheckOptions options(const char *text) {
    CheckOptions::Problem problem;
    const auto read = CheckOptionsJson::read(json(text), &problem);
    EXPECT_TRUE(read) << text << ": " << str(problem.toString());
    return read.value_or(CheckOptions());
}

// Each row: a list as typed, and either its canonical text or, after "!", its message.
TEST(StatusExpectationTest, ParsesCodesAndRangesIntoOneCanonicalList) {
    const std::vector<std::pair<const char *, const char *>> rows = {
        {"200-299,401", "200-299,401"},
        {" 401 , 200 - 299 ", "200-299,401"},
        {"200-250,251-299", "200-299"},
        {"204,200-299,250-260", "200-299"},
        {"100-599", "100-599"},
        {"301", "301"},
        {"302,301", "301-302"},
        {"", "!must list codes or ranges, such as \"200-299,401\""},
        {"  ", "!must list codes or ranges, such as \"200-299,401\""},
        {"200,,401", "!has an empty entry between commas"},
        {"200,", "!has an empty entry between commas"},
        {"650", "!\"650\" is not a status code from 100 to 599"},
        {"099", "!\"099\" is not a status code from 100 to 599"},
        {"0200", "!\"0200\" is not a status code from 100 to 599"},
        {"20x", "!\"20x\" is not a status code from 100 to 599"},
        {"%2", "!\"%2\" is not a status code from 100 to 599"},
        {"２００", "!\"２００\" is not a status code from 100 to 599"},
        {"200-", "!\"\" is not a status code from 100 to 599"},
        {"-200", "!\"\" is not a status code from 100 to 599"},
        {"299-200", "!the range \"299-200\" ends below its start; write 200-299"},
        {"200-300-400", "!\"200-300-400\" is not a code or a range of codes"},
    };
    for (const auto &[text, expected] : rows) {
        QString why;
        const auto parsed = StatusExpectation::parse(QString::fromUtf8(text), &why);
        if (expected[0] == '!') {
            EXPECT_FALSE(parsed) << text;
            EXPECT_EQ(str(why), expected + 1) << text;
            continue;
        }
        ASSERT_TRUE(parsed) << text << ": " << str(why);
        EXPECT_EQ(str(parsed->toString()), expected) << text;
        EXPECT_EQ(StatusExpectation::parse(parsed->toString()), parsed) << text;
    }
    EXPECT_EQ(StatusExpectation::parse(u"200-299"), StatusExpectation());

    const auto list = StatusExpectation::parse(u"200-299,401");
    for (const auto &[code, inside] : std::vector<std::pair<int, bool>>{{199, false},
                                                                        {200, true},
                                                                        {299, true},
                                                                        {300, false},
                                                                        {400, false},
                                                                        {401, true},
                                                                        {402, false},
                                                                        {0, false}})
        EXPECT_EQ(list->contains(code), inside) << code;
}

// Each row: a "check" object read, and what writing the options gives back. Writing then reading
// gives the same options, and only what differs from the defaults is written.
TEST(CheckOptionsJsonTest, WritesOnlyWhatDiffersAndReadsBackTheSameOptions) {
    const std::string full =
        std::string(R"({"bodyContains":"status: UP","bodyLacks":"maintenance",)") +
        R"("expectStatus":"200-299,401","followRedirects":false,)" +
        R"("headers":{"Authorization":"Bearer s3cret","X-Empty":""},"slowAboveMs":1000,)" +
        R"("timeoutSeconds":5,"trustedCertificate":")" + kPin + R"("})";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"{}", "{}"},
        {"null", "{}"},
        {R"({"expectStatus":"200 - 299","followRedirects":true,"method":"GET",)"
         R"("timeoutSeconds":30.0,"headers":{},"bodyContains":null})",
         "{}"},
        {full, full},
        {R"({"expectStatus":"401, 200-299"})", R"({"expectStatus":"200-299,401"})"},
        {R"({"method":"HEAD","timeoutSeconds":120.0})",
         R"({"method":"HEAD","timeoutSeconds":120})"},
        {R"({"slowAboveMs":1})", R"({"slowAboveMs":1})"},
    };
    for (const auto &[in, out] : rows) {
        const CheckOptions read = options(in.c_str());
        const QJsonObject written = CheckOptionsJson::write(read);
        EXPECT_EQ(compact(written), out) << in;
        EXPECT_EQ(read.hasAnyOption(), out != "{}") << in;
        EXPECT_EQ(CheckOptionsJson::read(written), read) << in;
    }
    EXPECT_EQ(CheckOptionsJson::read(QJsonValue(QJsonValue::Undefined)), CheckOptions());
    EXPECT_FALSE(CheckOptions().hasAnyOption());
}

// Each row: a "check" object and the whole message that refuses it. No message holds a header's
// value, even one pasted into the header's name.
TEST(CheckOptionsJsonTest, RefusesTheWholeObjectSayingWhichOptionAndWhy) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {R"([])", R"("check" must be an object of check options)"},
        {R"({"timeout":5,"timeoutSeconds":5})", R"(unknown check option "timeout")"},
        {R"({"expectStatus":200})", R"(expectStatus: must be text such as "200-299,401")"},
        {R"({"expectStatus":"200-299,650"})",
         R"(expectStatus: "650" is not a status code from 100 to 599)"},
        {R"({"followRedirects":"no"})", "followRedirects: must be true or false"},
        {R"({"method":"get"})", R"(method: must be "GET" or "HEAD")"},
        {R"({"method":"POST"})", R"(method: must be "GET" or "HEAD")"},
        {R"({"bodyContains":""})", "bodyContains: must not be empty"},
        {R"({"bodyLacks":5})", "bodyLacks: must be text"},
        {R"({"method":"HEAD","bodyLacks":"x"})",
         "bodyLacks: a HEAD request has no body to search; use GET"},
        {R"({"timeoutSeconds":0})", "timeoutSeconds: must be a whole number from 1 to 120"},
        {R"({"timeoutSeconds":121})", "timeoutSeconds: must be a whole number from 1 to 120"},
        {R"({"timeoutSeconds":5.5})", "timeoutSeconds: must be a whole number from 1 to 120"},
        {R"({"timeoutSeconds":"5"})", "timeoutSeconds: must be a whole number from 1 to 120"},
        {R"({"slowAboveMs":0})",
         "slowAboveMs: must be a whole number of milliseconds from 1 to 120000"},
        {R"({"slowAboveMs":120001})",
         "slowAboveMs: must be a whole number of milliseconds from 1 to 120000"},
        {R"({"slowAboveMs":1e300})",
         "slowAboveMs: must be a whole number of milliseconds from 1 to 120000"},
        {R"({"headers":["Authorization: s3cret"]})",
         "headers: must be an object of header names and values"},
        {R"({"headers":{"X-Token":5}})", R"(headers: the value of "X-Token" must be text)"},
        {R"({"headers":{"Authorization: Bearer s3cret":""}})",
         R"(headers: the header name "Authorization…" holds a colon)"},
        {R"({"headers":{"Bearer s3cret":"x"}})",
         R"(headers: the header name "Bearer…" holds a space)"},
        {R"({"headers":{"X-A\nX-B":"s3cret"}})",
         R"(headers: the header name "X-A…" holds a line break)"},
        {R"({"headers":{"Tökén":"x"}})",
         R"(headers: the header name "T…" holds a character not allowed in header names)"},
        {R"({"headers":{":s3cret":"x"}})", "headers: a header name starts with a colon"},
        {R"({"headers":{"":"s3cret"}})", "headers: a header has no name"},
        {R"({"headers":{"Authorization":"Bearer s3cret\r\nX-Evil: 1"}})",
         R"(headers: the value of "Authorization" holds a line break)"},
        {R"({"headers":{"X-Key":"s3c\u0000ret"}})",
         R"(headers: the value of "X-Key" holds a control character)"},
        {R"({"headers":{"X-Token":"s3cret","x-token":"s3cret"}})",
         R"(headers: "X-Token" and "x-token" are the same header)"},
        {R"({"trustedCertificate":"sha1//AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8="})",
         R"(trustedCertificate: must be "sha256//" and 44 base64 characters)"},
        {R"({"trustedCertificate":"sha256//AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8"})",
         R"(trustedCertificate: must be "sha256//" and 44 base64 characters, not 43)"},
        {R"({"trustedCertificate":"sha256//AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh9="})",
         R"(trustedCertificate: is not the base64 of a SHA-256 digest after "sha256//")"},
        {R"({"trustedCertificate":"sha256//AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwd-h8="})",
         R"(trustedCertificate: is not the base64 of a SHA-256 digest after "sha256//")"},
        {R"({"trustedCertificate":"sha256//AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8A"})",
         R"(trustedCertificate: is not the base64 of a SHA-256 digest after "sha256//")"},
    };
    for (const auto &[text, message] : rows) {
        CheckOptions::Problem problem;
        EXPECT_FALSE(CheckOptionsJson::read(json(text.c_str()), &problem)) << text;
        EXPECT_EQ(str(problem.toString()), message) << text;
        EXPECT_EQ(problem.toString().indexOf(u"s3c"), -1) << text;
    }
}

// What CheckOptions::problem() lets through at the edges of each field, for a details window that
// fills the fields in itself.
TEST(CheckOptionsTest, EachFieldIsCheckedAtItsBounds) {
    using Change = std::function<void(CheckOptions &)>;
    const std::vector<std::tuple<const char *, Change, const char *>> rows = {
        {"timeout 1", [](CheckOptions &o) { o.timeoutSeconds = 1; }, nullptr},
        {"timeout 120", [](CheckOptions &o) { o.timeoutSeconds = 120; }, nullptr},
        {"timeout -1", [](CheckOptions &o) { o.timeoutSeconds = -1; }, "timeoutSeconds"},
        {"slow 120000", [](CheckOptions &o) { o.slowAboveMs = 120000; }, nullptr},
        {"slow -1", [](CheckOptions &o) { o.slowAboveMs = -1; }, "slowAboveMs"},
        {"text of 1000", [](CheckOptions &o) { o.bodyContains = QString(1000, u'x'); }, nullptr},
        {"text of 1001", [](CheckOptions &o) { o.bodyContains = QString(1001, u'x'); },
         "bodyContains"},
        {"empty lacks", [](CheckOptions &o) { o.bodyLacks = QString(); }, "bodyLacks"},
        {"every token character",
         [](CheckOptions &o) { o.headers.insert(QStringLiteral("!#$%&'*+-.^_`|~09azAZ"), {}); },
         nullptr},
        {"tab in a value",
         [](CheckOptions &o) { o.headers.insert(QStringLiteral("X"), QStringLiteral("a\tb")); },
         nullptr},
        {"DEL in a value",
         [](CheckOptions &o) { o.headers.insert(QStringLiteral("X"), QStringLiteral("a\x7f")); },
         "headers"},
        {"a pin of ones",
         [](CheckOptions &o) {
             o.trustedCertificate = QStringLiteral("sha256//"
                                                   "//////////////////////////////////////////8=");
         },
         nullptr},
    };
    for (const auto &[name, change, key] : rows) {
        CheckOptions o;
        change(o);
        const auto problem = o.problem();
        EXPECT_EQ(problem ? str(problem->key) : std::string("none"), key ? key : "none") << name;
    }
}

} // namespace

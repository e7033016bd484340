// A host's check options: the status list, reading and writing the "check" object, what each
// field accepts, judging an answer, the slow state and the bounded body search.
#include "checks/BodySearch.h"
#include "checks/CheckOptions.h"
#include "checks/CheckOptionsJson.h"
#include "checks/CheckVerdict.h"
#include "checks/SlowState.h"
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

    const auto list = StatusExpectation::parse(u"200-299,401");
    for (int code : {200, 299, 401})
        EXPECT_TRUE(list->contains(code)) << code;
    for (int code : {199, 300, 400, 402, 0})
        EXPECT_FALSE(list->contains(code)) << code;
}

// Each row: a "check" object read, and what writing the options gives back. Writing then reading
// gives the same options, and only what differs from the defaults is written.
TEST(CheckOptionsJsonTest, WritesOnlyWhatDiffersAndReadsBackTheSameOptions) {
    const std::string full =
        R"({"bodyContains":"status: UP","bodyLacks":"maintenance","expectStatus":"200-299,401","followRedirects":false,"headers":{"Authorization":"Bearer s3cret","X-Empty":""},"slowAboveMs":1000,"timeoutSeconds":5,"trustedCertificate":"sha256//AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8="})";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"{}", "{}"},
        {"null", "{}"},
        {R"({"expectStatus":"200 - 299","followRedirects":true,"method":"GET",)"
         R"("timeoutSeconds":30.0,"headers":{},"bodyContains":null})",
         "{}"},
        {full, full},
        {R"({"method":"HEAD","timeoutSeconds":120.0})",
         R"({"method":"HEAD","timeoutSeconds":120})"},
        {R"({"slowAboveMs":1})", R"({"slowAboveMs":1})"},
    };
    for (const auto &[in, out] : rows) {
        const CheckOptions read = options(in.c_str());
        const QJsonObject written = CheckOptionsJson::write(read);
        EXPECT_EQ(QJsonDocument(written).toJson(QJsonDocument::Compact).toStdString(), out) << in;
        EXPECT_EQ(read.hasAnyOption(), out != "{}") << in;
        EXPECT_EQ(CheckOptionsJson::read(written), read) << in;
    }
    EXPECT_EQ(CheckOptionsJson::read(QJsonValue(QJsonValue::Undefined)), CheckOptions());
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
// fills the fields in itself: every edge at once passes (the lowest timeout, 1 s, passes in the
// HTTP and engine tables), and a step past one is that field's problem.
TEST(CheckOptionsTest, EachFieldIsCheckedAtItsBounds) {
    CheckOptions edges;
    edges.timeoutSeconds = 120;
    edges.slowAboveMs = 120000;
    edges.bodyContains = QString(1000, u'x');
    edges.headers.insert(QStringLiteral("!#$%&'*+-.^_`|~09azAZ"), QStringLiteral("a\tb"));
    edges.trustedCertificate = QStringLiteral("sha256//") + QString(42, u'/') + u'8' + u'=';
    EXPECT_FALSE(edges.problem());
    const std::vector<std::pair<std::function<void(CheckOptions &)>, const char *>> past = {
        {[](CheckOptions &o) { o.timeoutSeconds = 121; }, "timeoutSeconds"},
        {[](CheckOptions &o) { o.bodyContains = QString(1001, u'x'); }, "bodyContains"},
        {[](CheckOptions &o) { o.bodyLacks = QString(); }, "bodyLacks"},
        {[](CheckOptions &o) { o.headers.insert(QStringLiteral("X"), QStringLiteral("a\x7f")); },
         "headers"},
    };
    for (const auto &[change, key] : past) {
        CheckOptions o = edges;
        change(o);
        const auto problem = o.problem();
        EXPECT_EQ(problem ? str(problem->key) : std::string("none"), key);
    }
}

// Each row: options, one answer, and the verdict: up, reason, the expectation it failed, slow.
// Plain body-search and timeout verdicts are pinned on real answers by the HTTP and engine tests.
TEST(CheckVerdictTest, JudgesAnAnswerAgainstEachExpectation) {
    using T = CheckVerdict::Answer::Transport;
    struct Row {
        std::string options;
        CheckVerdict::Answer answer;
        bool up;
        const char *reason;
        const char *failed;
        bool slow = false;
    };
    const auto status = [](int code, double seconds = 0.1) {
        CheckVerdict::Answer a;
        a.status = code;
        a.seconds = seconds;
        return a;
    };
    const auto body = [](bool containsFound, bool lacksFound, bool cut, int code = 200) {
        CheckVerdict::Answer a;
        a.status = code;
        a.bodyContainsFound = containsFound;
        a.bodyLacksFound = lacksFound;
        a.bodyCut = cut;
        return a;
    };
    const auto transport = [](T how, const char *reason = "") {
        CheckVerdict::Answer a;
        a.transport = how;
        a.failureReason = QString::fromUtf8(reason);
        a.seconds = 5.02;
        return a;
    };
    const std::vector<Row> rows = {
        {"{}", status(200), true, "", nullptr},
        {"{}", status(299), true, "", nullptr},
        {"{}", status(300), false, "HTTP 300", "expectStatus"},
        {"{}", CheckVerdict::Answer{}, false, "no HTTP answer", nullptr},
        {"{}", transport(T::TimedOut), false, "timed out after 30 s", "timeoutSeconds"},
        {"{}", transport(T::Failed, "connection refused"), false, "connection refused", nullptr},
        {R"({"expectStatus":"200-299,401"})", status(403), false, "HTTP 403 (expected 200-299,401)",
         "expectStatus"},
        {R"({"expectStatus":"301"})", status(301), true, "", nullptr},
        {std::string(R"({"trustedCertificate":")") + kPin + "\"}", transport(T::KeyChanged), false,
         "certificate key changed", "trustedCertificate"},
        {R"({"bodyContains":"status: UP"})", body(true, false, true), true, "", nullptr},
        {R"({"bodyLacks":"maintenance"})", body(false, true, false), false,
         R"(body contains "maintenance")", "bodyLacks"},
        {R"({"bodyLacks":"maintenance"})", body(false, false, true), true, "", nullptr},
        {R"({"bodyContains":"a","bodyLacks":"b"})", body(false, true, false), false,
         R"(body lacks "a")", "bodyContains"},
        {R"({"bodyContains":"up"})", body(false, false, false, 500), false,
         "HTTP 500 (expected 200-299)", "expectStatus"},
        {R"({"bodyContains":"say \"hi\"\n\t\u202e\\"})", body(false, false, false), false,
         R"(body lacks "say \"hi\"\n\t\u202e\\")", "bodyContains"},
        {R"({"bodyContains":"0123456789012345678901234567890123456789🙂 and more"})",
         body(false, false, false), false,
         R"(body lacks "0123456789012345678901234567890123456789…")", "bodyContains"},
        {R"({"bodyContains":"012345678901234567890123456789012345678🙂 and more"})",
         body(false, false, false), false,
         R"(body lacks "012345678901234567890123456789012345678🙂…")", "bodyContains"},
        {R"({"slowAboveMs":1000})", status(200, 1.2), true, "slow (1.2 s > 1 s)", nullptr, true},
        {R"({"slowAboveMs":1000})", status(200, 1.0), true, "", nullptr},
        {R"({"slowAboveMs":1000})", status(200, 1.0009), true, "", nullptr},
        {R"({"slowAboveMs":1000})", status(200, 1.001), true, "slow (1.001 s > 1 s)", nullptr,
         true},
        {R"({"slowAboveMs":1000})", status(200, 1.0405), true, "slow (1.04 s > 1 s)", nullptr,
         true},
        {R"({"slowAboveMs":1000})", status(200, 1.999), true, "slow (1.9 s > 1 s)", nullptr, true},
        {R"({"slowAboveMs":1500})", status(200, 2.0), true, "slow (2 s > 1.5 s)", nullptr, true},
        {R"({"slowAboveMs":500})", status(200, 0.75), true, "slow (750 ms > 500 ms)", nullptr,
         true},
        {R"({"slowAboveMs":1000})", status(503, 5.0), false, "HTTP 503 (expected 200-299)",
         "expectStatus"},
        {"{}", status(200, 100.0), true, "", nullptr},
    };
    for (const Row &row : rows) {
        const CheckVerdict verdict = CheckVerdict::judge(options(row.options.c_str()), row.answer);
        const std::string where =
            row.options + " status " + std::to_string(row.answer.status.value_or(-1));
        EXPECT_EQ(verdict.up, row.up) << where;
        EXPECT_EQ(str(verdict.reason), row.reason) << where;
        EXPECT_EQ(str(CheckVerdict::expectationKey(verdict.failed)), row.failed ? row.failed : "")
            << where;
        EXPECT_EQ(verdict.failed == CheckVerdict::Expectation::None, row.failed == nullptr)
            << where;
        EXPECT_EQ(verdict.slow, row.slow) << where;
    }
}

// Each row: answers in order (S slow, . up and not slow, X down) and whether the host is slow
// after each.
TEST(SlowStateTest, EntersAfterTwoSlowAnswersAndLeavesAfterTwoQuickOnesOrAFailure) {
    const std::vector<std::pair<const char *, const char *>> rows = {
        {"S.S.S.", "000000"}, {"SS", "01"},     {"SS.S..", "011110"}, {"SSS..S", "011100"},
        {"SSX", "010"},       {"SSXS", "0100"}, {"SSXSS", "01001"},   {"SXS", "000"},
        {"XSSX", "0010"},     {"SS.X", "0110"},
    };
    for (const auto &[answers, expected] : rows) {
        SlowState state;
        std::string seen;
        for (const char *a = answers; *a; ++a) {
            const bool was = state.isSlow();
            const bool changed = state.record(*a != 'X', *a == 'S');
            EXPECT_EQ(changed, state.isSlow() != was) << answers;
            seen += state.isSlow() ? '1' : '0';
        }
        EXPECT_EQ(seen, expected) << answers;
    }
    SlowState state;
    state.record(true, true);
    state.record(true, true);
    state.reset();
    EXPECT_FALSE(state.isSlow());
    EXPECT_FALSE(state.record(true, true)) << "a reset starts the count again";
}

// Each row: a body, a text and a limit; whole, in every split into two chunks and byte by byte,
// the search finds the same, so a match across chunk boundaries is never missed.
TEST(BodySearchTest, FindsTextAcrossChunksWithinTheLimit) {
    struct Row {
        QByteArray body;
        QByteArray text;
        qsizetype limit;
        bool found;
        bool cut;
    };
    const std::vector<Row> rows = {
        {"hello world", "o w", 100, true, false},    {"abcabd", "abd", 100, true, false},
        {"aaab", "aab", 100, true, false},           {"xyz", "xyzw", 100, false, false},
        {"Status: up", "status", 100, false, false}, {"0123456789", "789", 10, true, false},
        {"0123456789", "789", 9, false, true},       {"0123456789", "0", 1, true, false},
        {"0123456789X", "X", 10, false, true},       {"0123456789X", "9", 10, true, false},
        {"0123456789", "x", 10, false, false},       {"ab", "", 0, true, false},
    };
    for (const Row &row : rows) {
        std::vector<std::vector<QByteArrayView>> ways = {{row.body}};
        for (qsizetype at = 0; at <= row.body.size(); ++at)
            ways.push_back(
                {QByteArrayView(row.body).first(at), QByteArrayView(row.body).sliced(at)});
        std::vector<QByteArrayView> bytes;
        for (qsizetype i = 0; i < row.body.size(); ++i)
            bytes.push_back(QByteArrayView(row.body).sliced(i, 1));
        ways.push_back(bytes);
        for (const auto &chunks : ways) {
            BodySearch search(row.text, row.limit);
            for (const QByteArrayView chunk : chunks)
                search.feed(chunk);
            const std::string where = row.body.toStdString() + " / " + row.text.toStdString() +
                                      " in " + std::to_string(chunks.size()) + " chunks, first " +
                                      std::to_string(chunks.front().size());
            EXPECT_EQ(search.found(), row.found) << where;
            EXPECT_EQ(search.cut(), row.cut) << where;
            EXPECT_EQ(search.done(), row.found || row.cut) << where;
            EXPECT_LT(search.held(), std::max<qsizetype>(row.text.size(), 1)) << where;
        }
    }
}
} // namespace

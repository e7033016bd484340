// The Check section of a host's details: the options it shows (header values never), their
// editor refusing bad input field by field, and trusting a self-signed certificate by its key.
#include "checkediting/CheckFields.h"
#include "checkediting/CheckOptionsDialog.h"
#include "checkediting/CheckSection.h"
#include "checkediting/TrustCertificateDialog.h"
#include "monitoring/TRHostController.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "support/TestTlsServer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
const QString secret = QStringLiteral("Bearer s3cret-token");

CheckOptions withHeader() {
    CheckOptions options;
    options.headers.insert(QStringLiteral("Authorization"), secret);
    options.slowAboveMs = 1500;
    return options;
}

// Every field typed wrong at once: each gets its own message, so each problem found is put
// aside for the next one to show.
TEST(CheckFieldsTest, EachBadFieldGetsItsOwnMessageAndNoOptionsAreMade) {
    CheckFields fields = CheckFields::of(CheckOptions());
    fields.expectStatus = QStringLiteral("650");
    fields.timeoutSeconds = QStringLiteral("ten");
    fields.headers.append({QStringLiteral("X-Token: abc"), QStringLiteral("v"), {}});
    fields.trustedCertificate = QStringLiteral("sha256//abc");
    fields.slowAboveMs = QStringLiteral("-5");
    fields.head = true;
    fields.bodyContains = QStringLiteral("UP");
    const CheckFields::Reading reading = fields.read(CheckOptions());
    EXPECT_FALSE(reading.options);
    // Each field with a message, and a part of it.
    const QMap<QString, QString> expected = {
        {QStringLiteral("bodyContains"), QStringLiteral("HEAD")},
        {QStringLiteral("expectStatus"), QStringLiteral("650")},
        {QStringLiteral("headers"), QStringLiteral("colon")},
        {QStringLiteral("slowAboveMs"), QStringLiteral("milliseconds")},
        {QStringLiteral("timeoutSeconds"), QStringLiteral("from 1 to 120")},
        {QStringLiteral("trustedCertificate"), QStringLiteral("44 base64")}};
    EXPECT_EQ(reading.problems.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_TRUE(reading.problems.value(it.key()).contains(it.value()))
            << it.key().toStdString() << ": " << reading.problems.value(it.key()).toStdString();
}

TEST(CheckFieldsTest, FieldsMakeTheOptionsTheyShowAndKeepStoredHeaderValues) {
    CheckOptions stored = withHeader();
    stored.expectStatus = *StatusExpectation::parse(QStringLiteral("200-299,401"));
    stored.followRedirects = false;
    stored.bodyLacks = QStringLiteral("maintenance");
    stored.timeoutSeconds = 5;
    stored.trustedCertificate = QStringLiteral("sha256//") + QString(43, QLatin1Char('A')) + u'=';
    CheckFields fields = CheckFields::of(stored);
    EXPECT_TRUE(fields.headers.value(0).value.isEmpty()) << "a value is never put in a field";
    EXPECT_EQ(fields.read(stored).options, stored);

    // Renamed with no value typed, it keeps its value; a row added and left empty is no header;
    // emptied fields are defaults again.
    fields.headers[0].name = QStringLiteral("X-Auth");
    fields.headers.append(CheckFields::Header{});
    fields.headers.append({QStringLiteral("X-Empty"), {}, {}});
    fields.expectStatus.clear();
    fields.timeoutSeconds = QStringLiteral(" ");
    fields.trustedCertificate.clear();
    const auto read = fields.read(stored).options;
    ASSERT_TRUE(read);
    EXPECT_EQ(read->headers, (QMap<QString, QString>{{QStringLiteral("X-Auth"), secret},
                                                     {QStringLiteral("X-Empty"), QString()}}));
    EXPECT_EQ(read->expectStatus, StatusExpectation());
    EXPECT_EQ(read->timeoutSeconds, CheckOptions::defaultTimeoutSeconds);
    EXPECT_FALSE(read->trustedCertificate);
    fields.headers[0].value = QStringLiteral("new");
    EXPECT_EQ(fields.read(stored).options->headers.value(QStringLiteral("X-Auth")),
              QStringLiteral("new"));
}

class CheckSectionTest : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }

    std::shared_ptr<Host> addHost(const QString &address) {
        auto host = makeHost(QStringLiteral("nas"), address);
        listHost(engine, host);
        section.setHost(host);
        return host;
    }

    ManualClock clock;
    TRHostController engine{clock};
    CheckSection section{&engine};
};

TEST_F(CheckSectionTest, HeaderValuesAreNeverShownAndBadInputIsRefusedBesideItsField) {
    TestHttpServer server;
    auto host = addHost(server.url(QStringLiteral("/ok")));
    host->setCheckOptions(withHeader());
    section.refresh();
    EXPECT_EQ(section.row(2)->text(), QStringLiteral("slower than 1.5 s"));
    EXPECT_EQ(section.row(3)->text(), QStringLiteral("Authorization: ••••"));

    section.openEditor();
    CheckOptionsDialog *editor = section.editor();
    ASSERT_TRUE(editor);
    // The editor is the section's child: its texts are among the section's.
    for (const QLabel *label : section.findChildren<QLabel *>())
        EXPECT_FALSE(label->text().contains(u"s3cret")) << label->text().toStdString();
    for (const QLineEdit *field : section.findChildren<QLineEdit *>())
        EXPECT_FALSE((field->text() + field->placeholderText()).contains(u"s3cret"));
    auto *value = editor->findChild<QLineEdit *>(QStringLiteral("headerValue"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->echoMode(), QLineEdit::Password);

    QSignalSpy saved(&engine, &TRHostController::hostChanged);
    const auto field = [&](const char *key) {
        return editor->findChild<QLineEdit *>(QString::fromLatin1(key));
    };
    const auto message = [&](const char *key) {
        return editor->findChild<QLabel *>(QString::fromLatin1(key) + QStringLiteral("Message"));
    };
    field("timeoutSeconds")->setText(QStringLiteral("500"));
    editor->addHeaderRow();
    auto *name = editor->findChildren<QLineEdit *>(QStringLiteral("headerName")).last();
    name->setText(QStringLiteral("X-Key:1"));
    editor->saveButton()->click();
    EXPECT_TRUE(message("timeoutSeconds")->isVisibleTo(editor));
    EXPECT_EQ(message("timeoutSeconds")->text(),
              QStringLiteral("must be a whole number from 1 to 120"));
    EXPECT_TRUE(message("headers")->isVisibleTo(editor));
    EXPECT_FALSE(message("slowAboveMs")->isVisibleTo(editor));
    EXPECT_EQ(host->checkOptions(), withHeader()) << "nothing taken";
    EXPECT_EQ(saved.count(), 0) << "nothing stored";

    field("timeoutSeconds")->setText(QStringLiteral("5"));
    name->setText(QStringLiteral("X-Key"));
    editor->findChildren<QLineEdit *>(QStringLiteral("headerValue"))
        .last()
        ->setText(QStringLiteral("k"));
    editor->saveButton()->click();
    EXPECT_EQ(saved.count(), 1);
    CheckOptions expected = withHeader();
    expected.timeoutSeconds = 5;
    expected.headers.insert(QStringLiteral("X-Key"), QStringLiteral("k"));
    EXPECT_EQ(host->checkOptions(), expected);
    EXPECT_TRUE(waitUntil([&] { return !section.editor(); }));
    EXPECT_EQ(section.row(0)->text(), QStringLiteral("GET, redirects followed, timeout 5 s"));
    EXPECT_EQ(section.row(3)->text(), QStringLiteral("Authorization: ••••, X-Key: ••••"));
}

TEST_F(CheckSectionTest, TrustingASelfSignedCertificateStoresThePinShownAndTheHostComesUp) {
    TestCertificates own{30, TestCertificates::SelfSigned{QStringLiteral("nas.home.invalid")}};
    ASSERT_TRUE(own.ok()) << own.error.toStdString();
    TestTlsServer server{own};
    auto host = addHost(server.url(QStringLiteral("/ok")));
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return host->isReachable() == false; }, 10000));
    ASSERT_TRUE(section.trustButton()->isVisibleTo(&section));

    section.trustButton()->click();
    TrustCertificateDialog *dialog = section.trustDialog();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->trustButton()->isEnabled()) << "nothing to trust before it is read";
    ASSERT_TRUE(waitUntil([&] { return dialog->trustButton()->isEnabled(); }, 10000))
        << dialog->statusLabel()->text().toStdString();
    EXPECT_EQ(dialog->subjectLabel()->text(), QStringLiteral("CN=nas.home.invalid"));
    EXPECT_EQ(dialog->issuerLabel()->text(), QStringLiteral("CN=nas.home.invalid"));
    EXPECT_EQ(dialog->fingerprintLabel()->text().size(), 32 * 3 - 1);
    const QString pin = dialog->pinLabel()->text();

    QSignalSpy saved(&engine, &TRHostController::hostChanged);
    dialog->trustButton()->click();
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(host->checkOptions().trustedCertificate, pin);
    ASSERT_TRUE(waitUntil([&] { return host->isReachable() == true; }, 10000))
        << host->lastOutcome().reason.toStdString();
    EXPECT_FALSE(section.trustButton()->isVisibleTo(&section));
    EXPECT_EQ(section.row(4)->text(), QStringLiteral("the key pinned as ") + pin);
}
} // namespace

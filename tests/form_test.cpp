// The add/edit form: its proposals, enabling rules, address normalisation and the Save paths.
#include "app/TRAppDelegate.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "platform/Settings.h"
#include "platform/StatusItem.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/TestSupport.h"
#include "windows/HostNameProposals.h"
#include "windows/TREditHostWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {
using P = HostNameProposals;

TEST(HostNameProposalsTest, AddressesWithoutASchemeGetHttp) {
    EXPECT_EQ(P::normalizedAddress(QStringLiteral("example.com")),
              QStringLiteral("http://example.com"));
    EXPECT_EQ(P::normalizedAddress(QStringLiteral("https://example.com")),
              QStringLiteral("https://example.com"));
    EXPECT_EQ(P::normalizedAddress(QStringLiteral("ftp://example.com")),
              QStringLiteral("ftp://example.com"));
    EXPECT_EQ(P::normalizedAddress(QStringLiteral("localhost:8080")),
              QStringLiteral("localhost:8080"));
    EXPECT_EQ(P::normalizedAddress(QStringLiteral("exa mple.com")), QStringLiteral("exa mple.com"))
        << "a text that does not parse is kept as typed";
}

TEST(HostNameProposalsTest, TheProposedNameDropsSchemeSeparatorsAndOneWww) {
    const auto name = [](const char *address) {
        return P::defaultName(QString::fromUtf8(address), nullptr, nullptr);
    };
    EXPECT_EQ(name("https://www.example.com/status"), QStringLiteral("example.com/status"));
    EXPECT_EQ(name("http:///x"), QStringLiteral("x"));
    EXPECT_EQ(name("http:x"), QStringLiteral("x"));
    EXPECT_EQ(name("http://www.www.x"), QStringLiteral("www.x"));
    EXPECT_EQ(name("www.example.com"), QStringLiteral("www.example.com")) << "no scheme";
    EXPECT_EQ(name("localhost:8080"), QStringLiteral("localhost:8080"));
    EXPECT_EQ(name("a b"), QStringLiteral("a b"));
    EXPECT_EQ(name(""), QString());
}

TEST(HostNameProposalsTest, CharactersAreWhatAPersonSeesAsOne) {
    EXPECT_EQ(P::firstCharacter(QStringLiteral("e\u0301cole")), QStringLiteral("e\u0301"));
    EXPECT_EQ(P::firstCharacter(QStringLiteral("\U0001F44D\U0001F3FDok")),
              QStringLiteral("\U0001F44D\U0001F3FD"));
    EXPECT_EQ(P::firstCharacter(QString()), QString());
    EXPECT_EQ(P::defaultShortName(QString(), QString(), nullptr, nullptr), QStringLiteral("#"));
    EXPECT_EQ(P::defaultShortName(QString(), QStringLiteral("Zeta"), nullptr, nullptr),
              QStringLiteral("Z"));
    EXPECT_EQ(P::defaultShortName(QStringLiteral("api"), QStringLiteral("Zeta"), nullptr, nullptr),
              QStringLiteral("a"));
}

class ProposalsWithHostsTest : public ::testing::Test {
protected:
    std::shared_ptr<Host> add(const QString &name, const QString &shortName = QString()) {
        auto host = makeHost(name);
        if (!shortName.isEmpty())
            host->setAbbreviation(shortName);
        engine.hosts().push_back(host);
        return host;
    }
    ManualClock clock;
    TRHostController engine{clock};
};

TEST_F(ProposalsWithHostsTest, NamesAreNumberedFromTheFirstCandidate) {
    add(QStringLiteral("example.com"));
    EXPECT_EQ(P::defaultName(QStringLiteral("http://example.com"), nullptr, &engine),
              QStringLiteral("example.com 2"));
    add(QStringLiteral("example.com 2"));
    EXPECT_EQ(P::uniqueName(QStringLiteral("example.com"), nullptr, &engine),
              QStringLiteral("example.com 3"));
}

TEST_F(ProposalsWithHostsTest, AHostKeepsItsOwnNameAndShortName) {
    auto own = add(QStringLiteral("example.com"), QStringLiteral("e"));
    EXPECT_EQ(P::uniqueName(QStringLiteral("example.com"), own.get(), &engine),
              QStringLiteral("example.com"));
    EXPECT_EQ(P::uniqueShortName(QStringLiteral("e"), own.get(), &engine), QStringLiteral("e"));
    EXPECT_EQ(P::uniqueShortName(QStringLiteral("e"), nullptr, &engine), QStringLiteral("e2"));
    EXPECT_EQ(P::defaultShortName(QStringLiteral("example"), QString(), nullptr, &engine),
              QStringLiteral("e2"));
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        form.setHostController(&engine);
        engine.setMenuBarController(&menu);
    }

    std::shared_ptr<Host> listed(const QString &name, const QString &address) {
        auto host = makeHost(name, address);
        engine.hosts().push_back(host);
        return host;
    }

    // Types into a field as the user does, then leaves it.
    bool typeAndLeave(QLineEdit *field, const QString &text) {
        field->clear();
        QTest::keyClicks(field, text);
        if (text.isEmpty())
            Q_EMIT field->textEdited(QString());
        return form.textShouldEndEditing(field);
    }

    ManualClock clock;
    TRHostController engine{clock};
    RecordingMenuBar menu;
    TREditHostWindow form{nullptr};
};

TEST_F(FormTest, FramesAndTexts) {
    using Frame = QRectF;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("New Host"));
    EXPECT_EQ(form.size(), QSize(150, 240));
    EXPECT_EQ(LMUtilityWindow::frameOf(form.addressTextField()), Frame(5, 175, 140, 22));
    EXPECT_EQ(LMUtilityWindow::frameOf(form.nameTextField()), Frame(5, 120, 140, 22));
    EXPECT_EQ(LMUtilityWindow::frameOf(form.shortNameTextField()), Frame(5, 40, 140, 22));
    const Frame box = LMUtilityWindow::frameOf(form.menuBarItemCheckbox());
    EXPECT_EQ(box.topLeft() + QPointF(0, box.height()), QPointF(5, 90 + box.height()));
    EXPECT_EQ(box.width(), 140);
    const Frame save = LMUtilityWindow::frameOf(form.saveButton());
    EXPECT_EQ(QRectF(save.x(), save.y(), save.width(), 0), Frame(0, 0, 150, 0));
    QStringList labels;
    for (const QLabel *label : form.utilityView()->findChildren<QLabel *>()) {
        labels << label->text();
        const Frame frame = LMUtilityWindow::frameOf(label);
        EXPECT_EQ(frame.x(), 5);
        EXPECT_EQ(frame.y(), label->text() == u"Address" ? 200
                             : label->text() == u"Name"  ? 145
                                                         : 65);
    }
    EXPECT_EQ(labels, QStringList({QStringLiteral("Address"), QStringLiteral("Name"),
                                   QStringLiteral("Short Name")}));
    EXPECT_EQ(form.menuBarItemCheckbox()->text(), QStringLiteral("Menu Bar Item"));
    EXPECT_EQ(form.saveButton()->text(), QStringLiteral("Save"));
    EXPECT_EQ(form.saveButton()->focusPolicy(), Qt::NoFocus);
}

TEST_F(FormTest, ANewHostStartsEmptyWithSaveOff) {
    form.setHost(nullptr);
    EXPECT_EQ(form.titleLabel()->text(), QStringLiteral("New Host"));
    EXPECT_TRUE(form.addressTextField()->text().isEmpty());
    EXPECT_TRUE(form.nameTextField()->text().isEmpty());
    EXPECT_FALSE(form.menuBarItemCheckbox()->isChecked());
    EXPECT_FALSE(form.shortNameTextField()->isEnabled());
    EXPECT_FALSE(form.saveButton()->isEnabled());
    EXPECT_EQ(form.shortNameTextField()->placeholderText(), QStringLiteral("#"));
}

TEST_F(FormTest, TypingProposesAndLeavingTheAddressNormalisesIt) {
    form.setHost(nullptr);
    QTest::keyClicks(form.addressTextField(), QStringLiteral("example.com"));
    EXPECT_EQ(form.nameTextField()->placeholderText(), QStringLiteral("example.com"));
    EXPECT_EQ(form.shortNameTextField()->placeholderText(), QStringLiteral("e"));
    EXPECT_FALSE(form.saveButton()->isEnabled());
    EXPECT_TRUE(form.textShouldEndEditing(form.addressTextField()));
    EXPECT_EQ(form.addressTextField()->text(), QStringLiteral("http://example.com"));
    EXPECT_TRUE(form.saveButton()->isEnabled());

    QTest::keyClicks(form.addressTextField(), QStringLiteral("/x"));
    EXPECT_FALSE(form.saveButton()->isEnabled()) << "any change to the address turns Save off";
}

TEST_F(FormTest, AnEmptyAddressCannotBeLeft) {
    form.setHost(listed(QStringLiteral("a"), QStringLiteral("http://a")));
    EXPECT_FALSE(typeAndLeave(form.addressTextField(), QString()));
    EXPECT_FALSE(form.saveButton()->isEnabled());
}

TEST_F(FormTest, TheFocusStaysInAnEmptyAddressField) {
    form.setHost(nullptr);
    form.makeKeyAndOrderFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_TRUE(form.addressTextField()->hasFocus());
    form.nameTextField()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitUntil([&] { return form.addressTextField()->hasFocus(); }, 2000));
    EXPECT_FALSE(form.saveButton()->isEnabled());

    QTest::keyClicks(form.addressTextField(), QStringLiteral("example.com"));
    form.nameTextField()->setFocus(Qt::TabFocusReason);
    spin(50);
    EXPECT_TRUE(form.nameTextField()->hasFocus());
    EXPECT_EQ(form.addressTextField()->text(), QStringLiteral("http://example.com"));
    form.close();
}

TEST_F(FormTest, ThePlaceholderIsRecomputedOnlyOnKeystrokes) {
    form.setHost(nullptr);
    QTest::keyClicks(form.addressTextField(), QStringLiteral("www.example.com"));
    form.textShouldEndEditing(form.addressTextField());
    EXPECT_EQ(form.addressTextField()->text(), QStringLiteral("http://www.example.com"));
    EXPECT_EQ(form.nameTextField()->placeholderText(), QStringLiteral("www.example.com"));
    form.save();
    ASSERT_EQ(engine.hosts().size(), 1u);
    EXPECT_EQ(engine.hosts()[0]->string(), QStringLiteral("www.example.com"));
    EXPECT_EQ(engine.hosts()[0]->address(), QStringLiteral("http://www.example.com"));
}

TEST_F(FormTest, SavingANewHostAddsItWithProposedNames) {
    listed(QStringLiteral("example.com"), QStringLiteral("http://example.com"));
    form.setHost(nullptr);
    typeAndLeave(form.addressTextField(), QStringLiteral("https://www.example.com"));
    QTest::keyClicks(form.shortNameTextField(), QString()); // nothing typed there
    form.save();
    ASSERT_EQ(engine.hosts().size(), 2u);
    const auto added = engine.hosts()[1];
    EXPECT_EQ(added->string(), QStringLiteral("example.com 2"));
    EXPECT_EQ(added->abbreviation(), std::optional<QString>(QStringLiteral("e")));
    EXPECT_EQ(added->address(), QStringLiteral("https://www.example.com"));
    EXPECT_FALSE(added->hasMenuBarItem());
    EXPECT_EQ(HostStore::readStoredHosts()->at(1)->string(), QStringLiteral("example.com 2"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.host(), nullptr);
}

TEST_F(FormTest, ANameStillBeingEditedIsSavedAsTyped) {
    listed(QStringLiteral("taken"), QStringLiteral("http://t"));
    auto host = listed(QStringLiteral("mine"), QStringLiteral("http://m"));
    form.setHost(host);
    form.nameTextField()->setText(QStringLiteral("taken"));
    form.save();
    EXPECT_EQ(host->string(), QStringLiteral("taken"));

    form.setHost(host);
    typeAndLeave(form.nameTextField(), QStringLiteral("taken"));
    EXPECT_EQ(form.nameTextField()->text(), QStringLiteral("taken")) << "its own name stays";
    form.setHost(listed(QStringLiteral("third"), QStringLiteral("http://3")));
    typeAndLeave(form.nameTextField(), QStringLiteral("taken"));
    EXPECT_EQ(form.nameTextField()->text(), QStringLiteral("taken 2"));
}

TEST_F(FormTest, TheBoxSwitchesTheHostsTrayIcon) {
    auto host = listed(QStringLiteral("api"), QStringLiteral("http://api"));
    form.setHost(host);
    form.menuBarItemCheckbox()->click();
    EXPECT_TRUE(form.shortNameTextField()->isEnabled());
    form.save();
    EXPECT_TRUE(host->hasMenuBarItem());
    ASSERT_TRUE(engine.statusItem(*host));

    form.setHost(host);
    EXPECT_TRUE(form.menuBarItemCheckbox()->isChecked());
    QTest::keyClicks(form.shortNameTextField(), QStringLiteral("X"));
    form.menuBarItemCheckbox()->click();
    EXPECT_FALSE(form.shortNameTextField()->isEnabled());
    EXPECT_EQ(form.shortNameTextField()->text(), QStringLiteral("aX"))
        << "a disabled field keeps its text";
    form.save();
    EXPECT_FALSE(host->hasMenuBarItem());
    EXPECT_EQ(engine.statusItem(*host), nullptr);
    EXPECT_EQ(host->abbreviation(), std::optional<QString>(QStringLiteral("aX")));
}

TEST_F(FormTest, RenamingAHostWithAnIconKeepsTheSameIcon) {
    auto host = listed(QStringLiteral("old"), QStringLiteral("http://old"));
    host->setHasMenuBarItem(true);
    host->setAbbreviation(QStringLiteral("O"));
    engine.addStatusItems({host});
    const StatusItem *item = engine.statusItem(*host);
    form.setHost(host);
    typeAndLeave(form.nameTextField(), QStringLiteral("new"));
    typeAndLeave(form.shortNameTextField(), QStringLiteral("N"));
    form.save();
    ASSERT_EQ(engine.statusItem(*host), item);
    EXPECT_EQ(item->button()->attributedTitle()->text, QStringLiteral("N"));
    EXPECT_TRUE(item->button()->toolTip().startsWith(QStringLiteral("new\n")));

    form.setHost(host);
    form.menuBarItemCheckbox()->click();
    form.save();
    EXPECT_EQ(engine.statusItemCount(), 0) << "and it is removable under the new name";
}

TEST_F(FormTest, EditingAHostAndClosingChangesNothing) {
    auto host = listed(QStringLiteral("a"), QStringLiteral("http://a"));
    form.setHost(host);
    EXPECT_TRUE(form.saveButton()->isEnabled());
    EXPECT_EQ(form.titleLabel()->text(), QStringLiteral("a"));
    typeAndLeave(form.nameTextField(), QStringLiteral("b"));
    form.close();
    EXPECT_EQ(host->string(), QStringLiteral("a"));
    EXPECT_FALSE(Settings::hostsData());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("New Host"));
}

TEST_F(FormTest, SavingAHostRemovedMeanwhileKeepsWhatWasTyped) {
    auto host = listed(QStringLiteral("a"), QStringLiteral("http://a"));
    host->setHasMenuBarItem(true);
    engine.addStatusItems({host});
    form.setHost(host);
    engine.removeHost(host);
    typeAndLeave(form.nameTextField(), QStringLiteral("renamed"));
    form.save();
    ASSERT_EQ(engine.hosts().size(), 1u);
    EXPECT_EQ(engine.hosts()[0], host);
    EXPECT_TRUE(engine.statusItem(*host)) << "its tray icon comes back with it";
    EXPECT_EQ(HostStore::readStoredHosts()->at(0)->string(), QStringLiteral("renamed"));
}

TEST_F(FormTest, WithoutAnEngineANewHostIsNotSaved) {
    TREditHostWindow lone(nullptr);
    lone.setHost(nullptr);
    typeAndLeave(lone.addressTextField(), QStringLiteral("example.com"));
    lone.show();
    lone.save();
    EXPECT_TRUE(lone.isVisible());
    lone.close();
}

TEST(EditHostWindowDelegateTest, OneFormServesEveryRequestUnderTheMainIcon) {
    resetSettings();
    TRAppDelegate delegate;
    AppDelegate::setCurrent(&delegate);
    delegate.setUp();
    auto a = makeHost(QStringLiteral("A"));
    auto b = makeHost(QStringLiteral("B"));
    delegate.showEditHostWindow(a);
    TREditHostWindow *form = delegate.editHostWindow();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->statusBarButton(), delegate.menuBarController()->statusItem()->button());
    EXPECT_EQ(form->hostController(), delegate.hostController());
    EXPECT_TRUE(form->isVisible());
    delegate.showEditHostWindow(b);
    EXPECT_EQ(delegate.editHostWindow(), form);
    EXPECT_EQ(form->nameTextField()->text(), QStringLiteral("B"));
    delegate.showEditHostWindow(nullptr);
    EXPECT_EQ(form->titleLabel()->text(), QStringLiteral("New Host"));
    EXPECT_TRUE(form->nameTextField()->text().isEmpty());
    form->close();
    AppDelegate::setCurrent(nullptr);
}
} // namespace

// "Launch at Login": the autostart entry for the login helper under the private
// $XDG_CONFIG_HOME, really written and removed.
#include "platform/DesktopEntry.h"
#include "platform/DesktopExec.h"
#include "platform/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
const QString helper = QString::fromLatin1(LoginItem::helperIdentifier);

class LoginItemTest : public ::testing::Test {
protected:
    QString config() const { return qEnvironmentVariable("XDG_CONFIG_HOME"); }
    QString autostart() const { return QDir(config()).filePath(QStringLiteral("autostart")); }
    QString entry() const {
        return QDir(autostart()).filePath(QStringLiteral("com.morvane.Tarvik.Helper.desktop"));
    }
    QStringList autostartFiles() const {
        return QDir(autostart()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    void TearDown() override { QDir(autostart()).removeRecursively(); }
};

TEST_F(LoginItemTest, EnablingWritesAnEntryTheSessionStartsTheHelperFrom) {
    ASSERT_FALSE(config().isEmpty());
    EXPECT_EQ(LoginItem::entryPath(helper), entry());
    ASSERT_TRUE(LoginItem::setEnabled(helper, true));

    const auto read = DesktopEntry::read(entry());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(read->value(QStringLiteral("Name")), QStringLiteral("Tarvik login helper"));
    EXPECT_EQ(read->value(QStringLiteral("NoDisplay")), QStringLiteral("true"));
    EXPECT_EQ(read->value(QStringLiteral("X-GNOME-Autostart-enabled")), QStringLiteral("true"));
    // No helper sits beside the test program, so the session is to find it on PATH.
    EXPECT_EQ(read->command(), QStringList{QStringLiteral("tarvik-helper")});
    EXPECT_EQ(autostartFiles(), QStringList{QFileInfo(entry()).fileName()})
        << "no temporary file is left beside the entry";
}

TEST_F(LoginItemTest, EnablingAndDisablingAreIdempotent) {
    ASSERT_TRUE(LoginItem::setEnabled(helper, true));
    QFile first(entry());
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray written = first.readAll();
    first.close();

    ASSERT_TRUE(LoginItem::setEnabled(helper, true));
    QFile second(entry());
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), written);

    EXPECT_TRUE(LoginItem::setEnabled(helper, false));
    EXPECT_FALSE(QFileInfo::exists(entry()));
    EXPECT_TRUE(LoginItem::setEnabled(helper, false)) << "removing what is not there succeeds";
    EXPECT_TRUE(autostartFiles().isEmpty());
}

TEST_F(LoginItemTest, TheHelperBesideTheProgramIsPreferredAndQuoted) {
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("my \"apps\" $HOME 100%"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = QDir(folder).filePath(QStringLiteral("tarvik-helper"));
    EXPECT_EQ(LoginItem::helperCommand(folder), QStringLiteral("tarvik-helper"));

    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(LoginItem::helperCommand(folder), QStringLiteral("tarvik-helper"))
        << "a file that cannot be run is no helper";

    ASSERT_TRUE(file.setPermissions(file.permissions() | QFile::ExeOwner));
    const auto arguments = DesktopExec::split(LoginItem::helperCommand(folder), {});
    ASSERT_TRUE(arguments);
    EXPECT_EQ(*arguments, QStringList{program});
}

TEST_F(LoginItemTest, FailuresReturnFalseAndLeaveNoHalfWrittenEntry) {
    // The autostart folder cannot be made: a file stands in its place.
    QFile blocker(autostart());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(LoginItem::setEnabled(helper, true));
    ASSERT_TRUE(QFile::remove(autostart()));

    // The entry's own name is taken by a folder: it can be neither written nor removed.
    ASSERT_TRUE(QDir().mkpath(entry()));
    EXPECT_FALSE(LoginItem::setEnabled(helper, true));
    EXPECT_FALSE(LoginItem::setEnabled(helper, false));
    EXPECT_TRUE(QFileInfo(entry()).isDir());
    EXPECT_EQ(autostartFiles(), QStringList{QFileInfo(entry()).fileName()});
}

TEST_F(LoginItemTest, IdentifiersThatAreNoPlainFileNameAreRefused) {
    for (const QString &identifier :
         {QString(), QStringLiteral("../escape"), QStringLiteral("a/b"), QStringLiteral(".hidden"),
          QStringLiteral("a..b"), QStringLiteral("with space")}) {
        EXPECT_TRUE(LoginItem::entryPath(identifier).isEmpty()) << identifier.toStdString();
        EXPECT_FALSE(LoginItem::setEnabled(identifier, true)) << identifier.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(autostart()));
    EXPECT_FALSE(QFileInfo::exists(QDir(config()).filePath(QStringLiteral("escape.desktop"))));
}
} // namespace

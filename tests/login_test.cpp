// "Launch at Login": the autostart entry for the login helper under the private
// $XDG_CONFIG_HOME, really written and removed; and desktop entries as a launcher reads them.
#include "login/DesktopEntry.h"
#include "login/DesktopExec.h"
#include "login/LoginItem.h"

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

TEST_F(LoginItemTest, EnablingWritesAnEntryTheSessionStartsTheHelperFromAndDisablingRemovesIt) {
    ASSERT_FALSE(config().isEmpty());
    EXPECT_EQ(LoginItem::entryPath(helper), entry());
    const auto contents = [&] {
        QFile file(entry());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    ASSERT_TRUE(LoginItem::setEnabled(helper, true));
    const QByteArray written = contents();
    ASSERT_TRUE(LoginItem::setEnabled(helper, true));
    EXPECT_EQ(contents(), written);

    const auto read = DesktopEntry::read(entry());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(read->value(QStringLiteral("NoDisplay")), QStringLiteral("true"));
    EXPECT_EQ(read->value(QStringLiteral("X-GNOME-Autostart-enabled")), QStringLiteral("true"));
    // No helper sits beside the test program, so the session is to find it on PATH.
    EXPECT_EQ(read->command(), QStringList{QStringLiteral("tarvik-helper")});
    EXPECT_EQ(autostartFiles(), QStringList{QFileInfo(entry()).fileName()})
        << "no temporary file is left beside the entry";

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
    // Identifiers that are no plain file name are refused before anything is written.
    for (const QString &identifier :
         {QString(), QStringLiteral("../escape"), QStringLiteral("a/b"), QStringLiteral(".hidden"),
          QStringLiteral("a..b"), QStringLiteral("with space")}) {
        EXPECT_TRUE(LoginItem::entryPath(identifier).isEmpty()) << identifier.toStdString();
        EXPECT_FALSE(LoginItem::setEnabled(identifier, true)) << identifier.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(autostart()));
    EXPECT_FALSE(QFileInfo::exists(QDir(config()).filePath(QStringLiteral("escape.desktop"))));

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

// Desktop entries as a launcher reads them: the Exec line's quoting and field codes, string
// escapes, and which keys belong to the entry.
QStringList split(const char *exec, const DesktopExec::Fields &fields = {}) {
    QString error;
    const auto arguments = DesktopExec::split(QString::fromUtf8(exec), fields, &error);
    EXPECT_TRUE(arguments) << exec << ": " << error.toStdString();
    return arguments.value_or(QStringList());
}

QStringList list(std::initializer_list<const char *> items) {
    QStringList out;
    for (const char *item : items)
        out << QString::fromUtf8(item);
    return out;
}

TEST(DesktopExecTest, SplitsQuotedArgumentsAndExpandsFieldCodes) {
    EXPECT_EQ(split("tarvik"), list({"tarvik"}));
    EXPECT_EQ(split("  /usr/bin/tarvik   --check\t--json "),
              list({"/usr/bin/tarvik", "--check", "--json"}));
    EXPECT_EQ(split(R"("/opt/my apps/tarvik" "" "a\"b" "\`\$\\")"),
              list({"/opt/my apps/tarvik", "", "a\"b", "`$\\"}));
    EXPECT_EQ(split(R"(run "it's; (all) | fine & ~ok")"),
              list({"run", "it's; (all) | fine & ~ok"}));

    const DesktopExec::Fields fields{QStringLiteral("tarvik-icon"), QStringLiteral("Tarvik"),
                                     QStringLiteral("/a/b.desktop")};
    EXPECT_EQ(split("tarvik %U", fields), list({"tarvik"}));
    EXPECT_EQ(split("tarvik %f %F %u %d %D %n %N %v %m --x", fields), list({"tarvik", "--x"}));
    EXPECT_EQ(
        split("tarvik %i --name=%c --from=%k 100%%", fields),
        list({"tarvik", "--icon", "tarvik-icon", "--name=Tarvik", "--from=/a/b.desktop", "100%"}));
    EXPECT_EQ(split("tarvik %i"), list({"tarvik"})) << "no icon, no --icon";
}

// That a refused line says why is the fuzzer's to check.
TEST(DesktopExecTest, RefusesLinesThatBreakTheQuotingRules) {
    for (const char *exec :
         {"", "   ", "%U", "\"\" --x", "sh -c 'echo hi'", "a;b", "a$HOME", "a>b", "a\\ b",
          "\"unclosed", "\"a\"b", "\"bad \\n escape\"", "tarvik %x", "tarvik 100%"})
        EXPECT_FALSE(DesktopExec::split(QString::fromUtf8(exec), {})) << exec;
}

class DesktopEntryFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray &text) {
        QFile file(dir.filePath(QStringLiteral("x.desktop")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }
    QTemporaryDir dir;
};

// String escapes are undone, but the Exec line's own escapes are left for its quoting rules.
TEST_F(DesktopEntryFileTest, ReadsOnlyTheDesktopEntryGroupWithItsEscapes) {
    const QString path = write("# a comment\n"
                               "[Desktop Action quit]\n"
                               "Exec=wrong\n"
                               "[Desktop Entry]\r\n"
                               "Type = Application\n"
                               "Name=Tarvik\n"
                               "Name[de]=Tarvik DE\n"
                               "Exec=\"tar\\\"\\$vik\" --from %k\n"
                               "Comment=\\sa\\tb\\nc\\rd\\\\e\\\n"
                               "Exec=second\n"
                               "[Other]\n"
                               "Icon=wrong\n");
    const auto entry = DesktopEntry::read(path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry->value(QStringLiteral("Name")), QStringLiteral("Tarvik"));
    EXPECT_EQ(entry->value(QStringLiteral("Comment")), QStringLiteral(" a\tb\nc\rd\\e\\"));
    EXPECT_FALSE(entry->value(QStringLiteral("Icon")));
    EXPECT_EQ(entry->command(),
              QStringList({QStringLiteral("tar\"$vik"), QStringLiteral("--from"), entry->path()}));
}

TEST_F(DesktopEntryFileTest, WhatCannotBeStartedSaysWhy) {
    EXPECT_FALSE(DesktopEntry::read(write("Exec=tarvik\n")));
    EXPECT_FALSE(DesktopEntry::read(dir.filePath(QStringLiteral("missing.desktop"))));

    const std::pair<QByteArray, QString> cases[] = {
        {"[Desktop Entry]\nType=Application\nHidden=true\nExec=true\n", QStringLiteral("Hidden")},
        {"[Desktop Entry]\nType=Link\nExec=true\n", QStringLiteral("not an application")},
        {"[Desktop Entry]\nType=Application\n", QStringLiteral("no Exec")},
        {"[Desktop Entry]\nType=Application\nExec=sh -c 'x'\n", QStringLiteral("not valid")},
        {"[Desktop Entry]\nType=Application\nExec=no-such-program-here\n",
         QStringLiteral("not in PATH")},
    };
    for (const auto &[text, reason] : cases) {
        const auto entry = DesktopEntry::read(write(text));
        ASSERT_TRUE(entry);
        QString error;
        EXPECT_FALSE(entry->launch(&error)) << text.constData();
        EXPECT_TRUE(error.contains(reason)) << error.toStdString();
    }
}
} // namespace

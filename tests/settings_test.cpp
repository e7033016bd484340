// The settings file and the copies kept beside it are private to the user.
#include "settings/KeptCopies.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
mode_t modeOf(const QString &path) {
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(SettingsFileTest, TheFileAndItsFolderAreCreatedPrivateAndStaySo) {
    QDir(Settings::folder()).removeRecursively();
    ASSERT_TRUE(Settings::setPingFrequency(300));
    EXPECT_EQ(modeOf(Settings::fileName()), 0600u);
    EXPECT_EQ(modeOf(Settings::folder()), 0700u);

    // A file left readable by others is narrowed at the next write; later writes replace the
    // file, and it stays private.
    ASSERT_EQ(::chmod(QFile::encodeName(Settings::fileName()).constData(), 0644), 0);
    ASSERT_TRUE(Settings::setHostsData("[]"));
    EXPECT_EQ(modeOf(Settings::fileName()), 0600u);
    ASSERT_TRUE(Settings::setLaunchAtLogin(true));
    EXPECT_EQ(modeOf(Settings::fileName()), 0600u);
    EXPECT_EQ(Settings::wholePingFrequency(), std::optional<qint64>(300));

    // So are the copies kept beside it of what could not be read. (When one is kept, and that it
    // is kept once, is the host store's test.)
    EXPECT_EQ(modeOf(KeptCopies::keep("unreadable \x01 bytes", QStringLiteral(".conf"))), 0600u);
}
} // namespace

// The settings file and the copies kept beside it are private to the user.
#include "settings/KeptCopies.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
}

TEST(SettingsFileTest, KeptCopiesArePrivateAndKeptOnce) {
    const QByteArray bytes = "unreadable \x01 bytes";
    const QString copy = KeptCopies::keep(bytes, QStringLiteral(".conf"));
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_EQ(modeOf(copy), 0600u);
    EXPECT_EQ(QFileInfo(copy).dir().absolutePath(), QDir(Settings::folder()).absolutePath());
    EXPECT_EQ(KeptCopies::keep(bytes, QStringLiteral(".conf")), copy);
    EXPECT_EQ(KeptCopies::find(bytes), copy);
    EXPECT_EQ(KeptCopies::find("other bytes"), QString());
}
} // namespace

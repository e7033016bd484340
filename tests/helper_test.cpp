// The login helper: its decision against a fake workspace, the Linux workspace it runs on (how it
// finds a running Tarvik, how it starts one by name), and the helper program itself.
#include "Helper.h"
#include "instance/InstanceProtocol.h"
#include "instance/SingleInstance.h"
#include "login/LinuxWorkspace.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
using App = Workspace::RunningApplication;

// Records what the helper asks of the desktop, in order.
class FakeWorkspace : public Workspace {
public:
    std::vector<App> runningApplications() const override { return running; }
    bool launchApplication(const QString &name) override {
        calls << QStringLiteral("launch ") + name;
        return launchWorks;
    }
    void terminate() override { calls << QStringLiteral("terminate"); }
    std::vector<App> running;
    bool launchWorks = true;
    QStringList calls;
};

App app(const char *identifier, bool active) {
    return {identifier ? std::optional<QString>(QString::fromLatin1(identifier)) : std::nullopt,
            active};
}

QStringList runHelper(std::vector<App> running, bool launchWorks = true) {
    FakeWorkspace workspace;
    workspace.running = std::move(running);
    workspace.launchWorks = launchWorks;
    Helper(workspace).run();
    return workspace.calls;
}

// Only an active Tarvik, found by its whole identifier as the first one listed with a name, is left
// alone; otherwise it is launched. The helper quits either way, even when the launch fails.
TEST(HelperTest, LaunchesTarvikUnlessTheFirstNamedTarvikIsActive) {
    const QStringList launched = {QStringLiteral("launch Tarvik.app"), QStringLiteral("terminate")};
    const QStringList leftAlone = {QStringLiteral("terminate")};
    const char *tarvik = "com.morvane.Tarvik";
    EXPECT_EQ(runHelper({}), launched) << "an empty list means Tarvik does not run";
    EXPECT_EQ(runHelper({}, false), launched) << "the launch failed";
    EXPECT_EQ(runHelper({app("org.example.Editor", true), app(nullptr, true)}), launched);
    EXPECT_EQ(runHelper({app("org.example.Editor", false), app(tarvik, true)}), leftAlone);
    EXPECT_EQ(runHelper({app(tarvik, false)}), launched) << "running but not active";
    EXPECT_EQ(runHelper({app(tarvik, false), app(tarvik, true)}), launched) << "the first decides";
    EXPECT_EQ(runHelper({app(nullptr, false), app(tarvik, true), app(tarvik, false)}), leftAlone)
        << "nameless ones are passed over";
    for (const char *near : {"com.morvane.Tarvik.Helper", "com.morvane.TarvikX",
                             "com.morvane.tarvik", " com.morvane.Tarvik", "com.morvane"})
        EXPECT_EQ(runHelper({app(near, true)}), launched) << near;
}

// A real desktop entry folder layout under a temporary XDG_DATA_HOME and XDG_DATA_DIRS.
class LaunchByNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = {qgetenv("XDG_DATA_HOME"), qgetenv("XDG_DATA_DIRS")};
        qputenv("XDG_DATA_HOME", path(QStringLiteral("home")).toLocal8Bit());
        qputenv(
            "XDG_DATA_DIRS",
            (path(QStringLiteral("first")) + u':' + path(QStringLiteral("second"))).toLocal8Bit());
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", saved.first);
        qputenv("XDG_DATA_DIRS", saved.second);
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    // Puts an entry for Tarvik in `folder` whose program leaves a marker file named `marker`.
    void addEntry(const QString &folder, const QString &marker, const QByteArray &extra = {}) {
        const QString applications = path(folder) + QStringLiteral("/applications");
        ASSERT_TRUE(QDir().mkpath(applications));
        QFile file(applications + QStringLiteral("/com.morvane.Tarvik.desktop"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=Tarvik\n" + extra + "Exec=touch \"" +
                   path(marker).toUtf8() + "\" %U\n");
    }
    bool marked(const QString &marker) const { return QFile::exists(path(marker)); }
    bool launch() { return LinuxWorkspace().launchApplication(QStringLiteral("Tarvik.app")); }

    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/tarvik launch-XXXXXX")};
    std::pair<QByteArray, QByteArray> saved;
};

// A hidden entry of the user's own deletes the application for this user.
TEST_F(LaunchByNameTest, TheUsersEntryComesFirstThenTheDataFoldersAndAHiddenOneStartsNothing) {
    EXPECT_FALSE(launch());
    addEntry(QStringLiteral("second"), QStringLiteral("from second"));
    addEntry(QStringLiteral("first"), QStringLiteral("from first"));
    addEntry(QStringLiteral("home"), QStringLiteral("from home"));
    LinuxWorkspace workspace;
    EXPECT_FALSE(workspace.launchApplication(QStringLiteral("Other.app")));
    EXPECT_FALSE(workspace.launchApplication(QStringLiteral("com.morvane.Tarvik")));
    ASSERT_TRUE(launch());
    EXPECT_TRUE(waitUntil([&] { return marked(QStringLiteral("from home")); }, 10000));

    ASSERT_TRUE(
        QFile::remove(path(QStringLiteral("home/applications/com.morvane.Tarvik.desktop"))));
    ASSERT_TRUE(launch());
    EXPECT_TRUE(waitUntil([&] { return marked(QStringLiteral("from first")); }, 10000));
    EXPECT_FALSE(marked(QStringLiteral("from second")));

    addEntry(QStringLiteral("first"), QStringLiteral("first again"));
    addEntry(QStringLiteral("home"), QStringLiteral("hidden"), "Hidden=true\n");
    EXPECT_FALSE(launch());
    spin(300);
    EXPECT_FALSE(marked(QStringLiteral("first again")));
    EXPECT_FALSE(marked(QStringLiteral("hidden")));
}

// Asks the workspace from another thread: the instances answer on this thread's event loop.
std::vector<App> runningApplications() {
    auto result =
        std::async(std::launch::async, [] { return LinuxWorkspace().runningApplications(); });
    waitUntil([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              20000);
    return result.get();
}

// A socket file with nobody listening, as a killed instance leaves it behind.
void leaveStaleSocket(const QString &identifier) {
    const QByteArray path = InstanceProtocol::socketPath(identifier).toLocal8Bit();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    std::copy(path.begin(), path.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(QString::fromLocal8Bit(path)));
}

// What a program with windows answers when asked whether it is the one in front.
bool isActiveApplication() {
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

// Brings a window of this process to the front, which makes this process the active one.
void activate(QWidget &window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitUntil(isActiveApplication));
}

// That the real tray program answers as not in front is seen at a real login
// (scripts/e2e-login.sh): the helper starts it again there, and it is asked to come forward.
TEST(LinuxWorkspaceTest, RunningApplicationsAreTheInstancesThatAnswer) {
    EXPECT_TRUE(runningApplications().empty());

    SingleInstance tarvik(QStringLiteral("com.morvane.Tarvik"));
    ASSERT_EQ(tarvik.acquire(), SingleInstance::Claim::Acquired);
    SingleInstance other(QStringLiteral("org.example.Other"));
    other.setActiveQuestion(isActiveApplication);
    ASSERT_EQ(other.acquire(), SingleInstance::Claim::Acquired);
    leaveStaleSocket(QStringLiteral("org.example.Crashed"));
    QWidget window;
    activate(window);

    const std::vector<App> running = runningApplications();
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].desktopIdentifier, QStringLiteral("com.morvane.Tarvik"));
    EXPECT_FALSE(running[0].isActive) << "without an answer of its own";
    EXPECT_EQ(running[1].desktopIdentifier, QStringLiteral("org.example.Other"));
    EXPECT_TRUE(running[1].isActive);
}

// The helper program as a session starts it, with Tarvik's desktop entry leaving a marker. That it
// starts Tarvik when none runs is seen at a real login (scripts/e2e-login.sh).
class HelperProgramTest : public LaunchByNameTest {};

TEST_F(HelperProgramTest, StartsNothingWhileARunningTarvikIsActive) {
    addEntry(QStringLiteral("home"), QStringLiteral("started"));
    SingleInstance tarvik(QStringLiteral("com.morvane.Tarvik"));
    tarvik.setActiveQuestion(isActiveApplication);
    ASSERT_EQ(tarvik.acquire(), SingleInstance::Claim::Acquired);
    QWidget window;
    activate(window);
    QProcess helper;
    helper.start(QStringLiteral(TARVIK_HELPER_BINARY));
    ASSERT_TRUE(waitUntil([&] { return helper.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(helper.exitCode(), 0);
    spin(500);
    EXPECT_FALSE(marked(QStringLiteral("started"))) << "running and active: nothing is started";
}
} // namespace

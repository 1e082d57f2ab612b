#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/Autostart.h"

namespace pendra {
namespace {

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override { QDir(dir).removeRecursively(); }
    static QString read() {
        QFile f(Autostart::entryPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart";
};

TEST_F(AutostartTest, WrittenValidUnderXdgConfigHomeReadAsTheUserLeftItAndRemoved) {
    EXPECT_EQ(Autostart::entryPath(), dir + "/pendra.desktop");
    EXPECT_FALSE(Autostart::isEnabled());
    // The autostart folder does not exist yet: enabling creates it.
    ASSERT_TRUE(Autostart::setEnabled(true));
    EXPECT_TRUE(Autostart::isEnabled());
    // The test binary is not on PATH, so the entry names it by its full path.
    EXPECT_TRUE(read().contains("\nExec=" + QCoreApplication::applicationFilePath() + "\n"))
        << read().toStdString();
    // Enabling twice leaves one entry; no temporary files linger.
    ASSERT_TRUE(Autostart::setEnabled(true));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty()) {  // tools/install-deps.sh installs it
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(validator, {Autostart::entryPath()});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_EQ(p.readAll().trimmed(), "");
    }

    // What the user did to the file by hand: session settings switch entries
    // off in place; the same keys in another group do not count.
    const std::pair<const char*, bool> cases[] = {
        {"Exec=pendra\nX-GNOME-Autostart-enabled = false\n", false},
        {"Exec=pendra\n[Desktop Action x]\nHidden=true\n", true},
        {"Exec=pendra\nHidden=false\n", true},
        {"Name=Pendra\nExec=pendra\nHidden=true\n", false},
    };
    for (const auto& [keys, enabled] : cases) {
        QFile f(Autostart::entryPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("[Desktop Entry]\nType=Application\n") + keys);
        f.close();
        EXPECT_EQ(Autostart::isEnabled(), enabled) << keys;
    }
    // Switching on again replaces a hidden entry with a live one.
    ASSERT_TRUE(Autostart::setEnabled(true));
    EXPECT_FALSE(read().contains("Hidden"));
    ASSERT_TRUE(Autostart::setEnabled(false));
    EXPECT_FALSE(QFileInfo::exists(Autostart::entryPath()));
    EXPECT_TRUE(Autostart::setEnabled(false)) << "removing what is gone is no failure";
}

TEST_F(AutostartTest, FailuresAreReportedAndNothingIsLost) {
    // A folder where the entry belongs can be neither replaced nor removed.
    ASSERT_TRUE(QDir().mkpath(Autostart::entryPath() + "/keep"));
    EXPECT_FALSE(Autostart::isEnabled());
    testing::internal::CaptureStdout();
    const bool enabled = Autostart::setEnabled(true);
    const bool disabled = Autostart::setEnabled(false);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(disabled);
    EXPECT_NE(out.find("Cannot write the login item " + Autostart::entryPath().toStdString()),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Cannot remove the login item "), std::string::npos) << out;
    EXPECT_TRUE(QFileInfo(Autostart::entryPath() + "/keep").isDir());
}

TEST(AutostartExec, NamesTheProgramAsPathFindsItOrQuotesItsFullPath) {
    QTemporaryDir dir(QDir::tempPath() + "/pendra autostart $x-XXXXXX");
    const QString program = dir.path() + "/pendra";
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(Autostart::execValue(program), '"' + QString(program).replace('$', "\\\\$") + '"');
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ":" + oldPath);
    EXPECT_EQ(Autostart::execValue(program), "pendra");
    qputenv("PATH", oldPath);
    EXPECT_EQ(Autostart::execValue("/opt/100%/pendra"), "\"/opt/100%%/pendra\"");
    EXPECT_EQ(Autostart::execValue("/opt/a\"b/pendra"), "\"/opt/a\\\\\"b/pendra\"");
}

}  // namespace
}  // namespace pendra

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/Autostart.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override { QDir(autostartDir()).removeRecursively(); }
    void TearDown() override { QDir(autostartDir()).removeRecursively(); }
    static QString autostartDir() {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart");
    }
    static QString read() {
        QFile f(Autostart::entryPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    static void write(const QByteArray& text) {
        QDir().mkpath(autostartDir());
        QFile f(Autostart::entryPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(AutostartTest, OffByDefaultThenWrittenAndRemovedUnderXdgConfigHome) {
    ASSERT_FALSE(qEnvironmentVariable("XDG_CONFIG_HOME").isEmpty());
    EXPECT_EQ(Autostart::entryPath(), autostartDir() + QStringLiteral("/pendra.desktop"));
    EXPECT_FALSE(Autostart::isEnabled());

    // The autostart folder does not exist yet: enabling creates it.
    ASSERT_TRUE(Autostart::setEnabled(true));
    EXPECT_TRUE(Autostart::isEnabled());
    const QString text = read();
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    // The test binary is not on PATH, so the entry names it by its full path.
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + QCoreApplication::applicationFilePath() +
                              QStringLiteral("\n")))
        << text.toStdString();

    // Enabling twice leaves one valid entry; no temporary files linger.
    ASSERT_TRUE(Autostart::setEnabled(true));
    EXPECT_EQ(QDir(autostartDir()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    ASSERT_TRUE(Autostart::setEnabled(false));
    EXPECT_FALSE(Autostart::isEnabled());
    EXPECT_FALSE(QFileInfo::exists(Autostart::entryPath()));
    // Removing what is already gone is no failure.
    EXPECT_TRUE(Autostart::setEnabled(false));
}

TEST_F(AutostartTest, WrittenEntryPassesTheDesktopFileValidator) {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        GTEST_SKIP() << "desktop-file-validate is not installed (tools/install-deps.sh)";
    }
    ASSERT_TRUE(Autostart::setEnabled(true));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(validator, {Autostart::entryPath()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    EXPECT_TRUE(p.readAll().trimmed().isEmpty());
}

TEST_F(AutostartTest, ReflectsWhatTheUserDidToTheFileByHand) {
    ASSERT_TRUE(Autostart::setEnabled(true));
    ASSERT_TRUE(QFile::remove(Autostart::entryPath()));
    EXPECT_FALSE(Autostart::isEnabled());

    // Session settings switch entries off in place.
    write("[Desktop Entry]\nType=Application\nName=Pendra\nExec=pendra\nHidden=true\n");
    EXPECT_FALSE(Autostart::isEnabled());
    write("[Desktop Entry]\nType=Application\nExec=pendra\nX-GNOME-Autostart-enabled = false\n");
    EXPECT_FALSE(Autostart::isEnabled());
    // The same keys in another group do not count.
    write("[Desktop Entry]\nType=Application\nExec=pendra\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(Autostart::isEnabled());
    write("[Desktop Entry]\nType=Application\nExec=pendra\nHidden=false\n");
    EXPECT_TRUE(Autostart::isEnabled());

    // Switching on again replaces the hidden entry with a live one.
    write("[Desktop Entry]\nType=Application\nExec=pendra\nHidden=true\n");
    ASSERT_TRUE(Autostart::setEnabled(true));
    EXPECT_TRUE(Autostart::isEnabled());
    EXPECT_FALSE(read().contains(QStringLiteral("Hidden")));
}

TEST_F(AutostartTest, FailuresAreReportedAndNothingIsLost) {
    // A folder where the entry belongs can be neither replaced nor removed.
    ASSERT_TRUE(QDir().mkpath(Autostart::entryPath() + QStringLiteral("/keep")));
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
    EXPECT_TRUE(QFileInfo(Autostart::entryPath() + QStringLiteral("/keep")).isDir());
    EXPECT_FALSE(Autostart::isEnabled());
}

TEST(AutostartExec, NamesTheProgramAsPathFindsItOrQuotesItsFullPath) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/pendra autostart $x-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString program = dir.path() + QStringLiteral("/pendra");
    {
        QFile f(program);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString quoted = QStringLiteral("\"") + QString(program).replace('$', "\\\\$") + '"';
    EXPECT_EQ(Autostart::execValue(program), quoted);

    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ":" + oldPath);
    EXPECT_EQ(Autostart::execValue(program), QStringLiteral("pendra"));
    qputenv("PATH", oldPath);

    EXPECT_EQ(Autostart::execValue(QStringLiteral("/opt/100%/pendra")),
              QStringLiteral("\"/opt/100%%/pendra\""));
    EXPECT_EQ(Autostart::execValue(QStringLiteral("/opt/a\"b/pendra")),
              QStringLiteral("\"/opt/a\\\\\"b/pendra\""));
}

}  // namespace
}  // namespace pendra

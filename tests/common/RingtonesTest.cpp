#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/Ringtones.h"
#include "platform/Paths.h"
#include "support/StdoutCapture.h"
#include "support/TestEnvironment.h"

namespace pendra {
namespace {

void touch(const QString& path, const QByteArray& content = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

TEST(RingtoneCatalogueTest, ListsTheM4rFilesInTheFoldersOwnOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Created out of alphabetical order, plus entries that are not ringtones.
    for (const QString& name :
         QStringList{"ToneB.m4r", "Radar.m4r", "ToneA.m4r", QString::fromUtf8("Glöckchen.m4r"),
                     QStringLiteral("Notes.txt"), QStringLiteral("Radar.m4r.part"),
                     QStringLiteral(".hidden.m4r"), QStringLiteral("README")}) {
        touch(dir.filePath(name));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("Folder.m4r"));
    ASSERT_TRUE(QFile::link(dir.filePath("gone"), dir.filePath("Broken.m4r")));

    test::StdoutCapture out;
    const QStringList names = getRingtones(dir.path() + "/");
    out.restore();

    EXPECT_EQ(out.text(), QString());
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{QString::fromUtf8("Glöckchen"), "Radar", "ToneA", "ToneB"}));

    // Read anew on every call.
    touch(dir.filePath("Late.m4r"));
    QFile::remove(dir.filePath("Radar.m4r"));
    const QStringList again = getRingtones(dir.path() + "/");
    EXPECT_TRUE(again.contains("Late"));
    EXPECT_FALSE(again.contains("Radar"));
}

TEST(RingtoneCatalogueTest, AFolderThatCannotBeListedPrintsTheErrorAndGivesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    touch(dir.filePath("plain"));
    for (const QString& path : {dir.filePath("missing/"), dir.filePath("plain")}) {
        test::StdoutCapture out;
        const QStringList names = getRingtones(path);
        out.restore();
        EXPECT_TRUE(names.isEmpty()) << path.toStdString();
        const QString text = out.text();
        EXPECT_TRUE(text.startsWith("Error reading ringtones: ")) << text.toStdString();
        EXPECT_TRUE(text.contains(path)) << text.toStdString();
        EXPECT_EQ(text.count('\n'), 1) << "one line: " << text.toStdString();
    }
}

TEST(RingerTest, NoneAMissingFileAndAForeignNameRingNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + "/";
    touch(dir.filePath("Notes.txt"));
    Ringer ringer(folder);

    {
        test::StdoutCapture out;
        ringer.ring("None");
        out.restore();
        EXPECT_EQ(out.text(), QString());
        EXPECT_FALSE(ringer.isRinging());
    }
    // "Notes" stands for Notes.m4r, which does not exist.
    for (const QString& name :
         {QStringLiteral("Notes"), QStringLiteral("../Notes"), QStringLiteral("")}) {
        test::StdoutCapture out;
        ringer.ring(name);
        out.restore();
        const QString text = out.text();
        EXPECT_TRUE(text.startsWith("something went wrong: "))
            << name.toStdString() << ": " << text.toStdString();
        EXPECT_EQ(text.count('\n'), 1) << text.toStdString();
        EXPECT_FALSE(ringer.isRinging()) << name.toStdString();
    }
    // Silencing a ringer that never rang is harmless.
    ringer.silence();
    EXPECT_FALSE(ringer.isRinging());
}

TEST(RingerTest, AFileTheDecoderRejectsIsReportedAndStaysSilent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    touch(dir.filePath("Broken.m4r"), QByteArray(4096, '\x5a'));
    touch(dir.filePath("Empty.m4r"), QByteArray());
    Ringer ringer(dir.path() + "/");
    for (const QString& name : {QStringLiteral("Broken"), QStringLiteral("Empty")}) {
        test::StdoutCapture out;
        ringer.ring(name);
        // The decoder's verdict comes later, from its own thread.
        const bool reported =
            test::waitUntil([&] { return out.text().contains("something went wrong: "); }, 20000);
        out.restore();
        const QString text = out.text();
        EXPECT_TRUE(reported) << name.toStdString() << ": " << text.toStdString();
        EXPECT_TRUE(text.contains(dir.filePath(name + ".m4r"))) << text.toStdString();
        EXPECT_FALSE(ringer.isRinging()) << name.toStdString();
    }
}

TEST(RingerTest, ARealRingtoneRingsUntilSilenced) {
    const QString folder = Paths::ringtonesDir();
    ASSERT_TRUE(QFileInfo::exists(ringtoneFile(folder, "Radar"))) << folder.toStdString();
    Ringer ringer(folder);
    test::StdoutCapture out;
    // Readied ahead, the player is the one that rings; a name without a file
    // is left for the ring to report.
    ringer.prepare("Radar");
    ringer.prepare("Missing");
    EXPECT_TRUE(ringer.isPrepared("Radar"));
    EXPECT_FALSE(ringer.isRinging());
    ringer.ring("Radar");
    EXPECT_FALSE(ringer.isPrepared("Radar"));
    EXPECT_TRUE(test::waitUntil([&] { return ringer.isRinging(); }, 20000));
    // "None" leaves the current sound alone; it is not a way to stop it.
    ringer.ring("None");
    EXPECT_TRUE(ringer.isRinging());
    // Past the end of the 2 s tone: it loops rather than ending.
    test::waitUntil([] { return false; }, 2600);
    EXPECT_TRUE(ringer.isRinging());
    // A second ring replaces the first; one silence stops it.
    ringer.ring("Chimes");
    EXPECT_TRUE(test::waitUntil([&] { return ringer.isRinging(); }, 20000));
    ringer.silence();
    EXPECT_FALSE(ringer.isRinging());
    out.restore();
    EXPECT_FALSE(out.text().contains("something went wrong")) << out.text().toStdString();
}

TEST(RingerTest, AMissingOrBrokenSoundModuleIsReportedAndTheNextRingTriesAgain) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    touch(dir.filePath("junk.so"), QByteArray(512, '\x7f'));
    Ringer ringer(Paths::ringtonesDir());
    for (const QString& module : {dir.filePath("missing.so"), dir.filePath("junk.so")}) {
        Paths::setAudioModuleForTesting(module);
        test::StdoutCapture out;
        ringer.ring("Radar");
        out.restore();
        const QString text = out.text();
        EXPECT_TRUE(text.startsWith(
            "something went wrong: " + ringtoneFile(Paths::ringtonesDir(), "Radar") +
            ": the sound module cannot be loaded: "))
            << text.toStdString();
        EXPECT_TRUE(text.contains(module)) << text.toStdString();
        EXPECT_EQ(text.count('\n'), 1) << text.toStdString();
        EXPECT_FALSE(ringer.isRinging());
    }
    // Back in place, the module is loaded on the next ring.
    Paths::setAudioModuleForTesting({});
    ringer.ring("Radar");
    EXPECT_TRUE(test::waitUntil([&] { return ringer.isRinging(); }, 20000));
    ringer.silence();
}

// The committed ringtones as the program finds them (staged from resources/
// into the build tree's share/pendra/ringtones/).
class CommittedRingtonesTest : public ::testing::Test {
protected:
    static QString run(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            return {};
        }
        return QString::fromUtf8(p.readAll());
    }
};

TEST_F(CommittedRingtonesTest, AtLeastEightDecodeLastOneToFourSecondsAndLoopCleanly) {
    const QString folder = Paths::ringtonesDir();
    const QStringList names = getRingtones(folder);
    EXPECT_GE(names.size(), 8) << names.join(' ').toStdString();
    EXPECT_TRUE(names.contains("Radar"));
    const QString ffprobe = QStandardPaths::findExecutable("ffprobe");
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffprobe.isEmpty() || ffmpeg.isEmpty()) {
        GTEST_SKIP() << "ffmpeg/ffprobe not installed (tools/install-deps.sh installs them)";
    }
    QList<double> loudness;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString file = ringtoneFile(folder, name);
        const QString probe =
            run(ffprobe, {"-v", "error", "-select_streams", "a:0", "-show_entries",
                          "stream=codec_name:format=format_name,duration", "-of",
                          "default=noprint_wrappers=1", file});
        const auto duration = QRegularExpression("duration=([0-9.]+)").match(probe);
        ASSERT_TRUE(duration.hasMatch()) << probe.toStdString();
        EXPECT_GE(duration.captured(1).toDouble(), 1.0);
        EXPECT_LE(duration.captured(1).toDouble(), 4.0);

        // Decoded samples: the loop joins end to start, so both must be near
        // silence or the repeat clicks.
        QProcess dec;
        dec.start(ffmpeg,
                  {"-v", "error", "-i", file, "-ac", "1", "-f", "f32le", "-c:a", "pcm_f32le", "-"});
        ASSERT_TRUE(dec.waitForFinished(60000));
        const QByteArray pcm = dec.readAllStandardOutput();
        const auto* s = reinterpret_cast<const float*>(pcm.constData());
        const qsizetype n = pcm.size() / qsizetype(sizeof(float));
        ASSERT_GT(n, 44100);
        float peak = 0;
        double sum = 0;
        for (qsizetype i = 0; i < n; ++i) {
            peak = std::max(peak, std::abs(s[i]));
            sum += s[i];
        }
        EXPECT_GT(peak, 0.1F) << "audible";
        EXPECT_LT(peak, 1.0F) << "not clipped";
        EXPECT_LT(std::abs(sum / double(n)), 1e-3) << "no DC offset";
        EXPECT_LT(std::abs(s[0]), 0.01F);
        EXPECT_LT(std::abs(s[n - 1]), 0.01F);
        EXPECT_LT(std::abs(s[n - 1] - s[0]), 0.01F) << "jump at the loop point";

        const QString r128 = [&] {
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(ffmpeg,
                    {"-hide_banner", "-nostdin", "-i", file, "-af", "ebur128", "-f", "null", "-"});
            p.waitForFinished(60000);
            return QString::fromUtf8(p.readAll());
        }();
        const auto integrated =
            QRegularExpression("Integrated loudness:\\s*I:\\s*(-?[0-9.]+) LUFS").match(r128);
        ASSERT_TRUE(integrated.hasMatch()) << r128.right(400).toStdString();
        loudness.append(integrated.captured(1).toDouble());
    }
    // One loudness for all: switching ringtones must not make an alarm quieter.
    if (!loudness.isEmpty()) {
        const auto [lo, hi] = std::minmax_element(loudness.begin(), loudness.end());
        EXPECT_LE(*hi - *lo, 1.0) << "loudness spread " << *lo << " .. " << *hi << " LUFS";
    }
}

}  // namespace
}  // namespace pendra

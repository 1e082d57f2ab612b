#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

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

TEST(RingtoneCatalogueTest, ListsTheM4rFilesThenTheUsersOwnAnewOnEachCallOrPrintsTheError) {
    QTemporaryDir dir, own;
    // Plus entries that are not ringtones.
    for (const char* name : {"ToneB.m4r", "Radar.m4r", "ToneA.m4r", "Glöckchen.m4r", "Notes.txt",
                             "Radar.m4r.part", ".hidden.m4r", "README", "plain"}) {
        touch(dir.filePath(name));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("Folder.m4r"));
    ASSERT_TRUE(QFile::link(dir.filePath("gone"), dir.filePath("Broken.m4r")));
    // The user's own sounds come after the program's, each name once.
    for (const char* name : {"Zed.flac", "Aurora.wav", "Aurora.mp3", "Radar.ogg", "None.oga",
                             "Notes.txt", "Beat.m4r"}) {
        touch(own.filePath(name));
    }
    test::StdoutCapture out;
    QStringList names = getRingtones(dir.path() + "/");
    const QStringList both = ringtoneChoices(dir.path() + "/", own.path() + "/");
    const QStringList programOnly = ringtoneChoices(dir.path() + "/", dir.filePath("missing/"));
    EXPECT_EQ(out.text(), QString()) << "a missing user folder is no error";
    names.sort();
    EXPECT_EQ(names, (QStringList{"Glöckchen", "Radar", "ToneA", "ToneB"}));
    EXPECT_EQ(both, (QStringList{"Glöckchen", "Radar", "ToneA", "ToneB", "Aurora", "Beat", "Zed"}));
    EXPECT_EQ(programOnly, names);

    touch(dir.filePath("Late.m4r"));
    QFile::remove(dir.filePath("Radar.m4r"));
    const QStringList again = getRingtones(dir.path() + "/");
    EXPECT_TRUE(again.contains("Late"));
    EXPECT_FALSE(again.contains("Radar"));

    // A folder that cannot be listed prints the error and gives nothing.
    for (const QString& path : {dir.filePath("missing/"), dir.filePath("plain")}) {
        test::StdoutCapture report;
        EXPECT_TRUE(getRingtones(path).isEmpty()) << path.toStdString();
        // The user's folder: only an unreadable one is reported.
        EXPECT_TRUE(ringtoneChoices(dir.filePath("missing/"), path).isEmpty());
        const QString text = report.text();
        EXPECT_TRUE(text.startsWith("Error reading ringtones: " + path)) << text.toStdString();
        EXPECT_EQ(text.count('\n'), path.endsWith("plain") ? 3 : 2) << text.toStdString();
    }
}

// Unit tests run without a sound server (TestEnvironment): each sound of the
// fallback chain fails in turn, is reported, and the ring ends at the bell.
TEST(RingerTest, EachFailureIsReportedInTurnAndTheRingEndsAtTheBell) {
    QTemporaryDir dir, own;
    touch(dir.filePath("Broken.m4r"), QByteArray(4096, '\x5a'));
    touch(own.filePath("Broken.ogg"), QByteArray(4096, '\x5a'));
    Ringer ringer(dir.path() + "/", own.path() + "/");
    int silent = 0;
    ringer.onSilent = [&] { ++silent; };
    for (const QString name : {"Broken", "../Notes"}) {
        SCOPED_TRACE(name.toStdString());
        test::StdoutCapture out;
        ringer.ring(name);
        const int before = silent;
        EXPECT_TRUE(test::waitUntil([&] { return silent > before; }, 20000));
        const QStringList lines = out.text().split('\n', Qt::SkipEmptyParts);
        auto at = [&](const QString& part) {
            const QString line =
                "something went wrong: .*" + QRegularExpression::escape(part) + ".*";
            return lines.indexOf(QRegularExpression(line));
        };
        // The user's file of the name first, then the program's.
        const bool broken = name == "Broken";
        const int users = broken ? at(own.filePath("Broken.ogg")) : -1;
        const int chosen = at(broken ? dir.filePath("Broken.m4r") : "\"../Notes\"");
        EXPECT_EQ(users >= 0, broken);
        EXPECT_LT(users, chosen);
        const int fallback = at(dir.filePath("Radar.m4r") + ": no such file");
        EXPECT_LT(chosen, fallback);
        EXPECT_LT(fallback, at("the generated tone: no audio output device"));
        EXPECT_LT(at("the generated tone"), at("ringing the bell"));
        EXPECT_TRUE(ringer.isRinging()) << "the bell rings on";
        ringer.silence();
    }
}

TEST(RingerTest, AMissingOrBrokenSoundModuleIsReportedThenAPreparedRingtoneRings) {
    QTemporaryDir dir;
    touch(dir.filePath("junk.so"), QByteArray(512, '\x7f'));
    Ringer ringer(Paths::ringtonesDir());
    const QString radar = ringtoneFile(Paths::ringtonesDir(), "Radar");
    for (const QString& module : {dir.filePath("missing.so"), dir.filePath("junk.so")}) {
        Paths::setAudioModuleForTesting(module);
        test::StdoutCapture out;
        ringer.ring("Radar");
        test::waitUntil([&] { return out.text().contains('\n'); }, 20000);
        ringer.silence();
        const QString line = out.text().section('\n', 0, 0);
        EXPECT_TRUE(line.startsWith("something went wrong: " + radar +
                                    ": the sound module cannot be loaded: "))
            << line.toStdString();
        EXPECT_TRUE(line.contains(module)) << line.toStdString();
    }
    Paths::setAudioModuleForTesting({});
    test::StdoutCapture out;
    ringer.ring("None");  // the silent choice: nothing to play or report
    EXPECT_FALSE(ringer.isRinging());
    // A name without a file is left for the ring to report.
    ringer.prepare("Radar");
    ringer.prepare("Missing");
    EXPECT_EQ(out.text(), QString());
    EXPECT_TRUE(ringer.isPrepared("Radar"));
    ringer.ring("Radar");
    EXPECT_FALSE(ringer.isPrepared("Radar"));
    // Without a sound server it ends at the bell, which rings on.
    EXPECT_TRUE(test::waitUntil([&] { return ringer.isRinging(); }, 20000));
    ringer.ring("None");
    EXPECT_TRUE(test::waitUntil([&] { return ringer.isRinging(); }, 20000));
    ringer.silence();
    EXPECT_FALSE(ringer.isRinging());
    EXPECT_FALSE(out.text().contains("cannot be loaded")) << out.text().toStdString();
}

// The committed ringtones as the program finds them (staged from resources/
// into the build tree's share/pendra/ringtones/).
TEST(CommittedRingtonesTest, AtLeastEightDecodeLastOneToFourSecondsAndLoopCleanly) {
    const QString folder = Paths::ringtonesDir();
    const QStringList names = getRingtones(folder);
    ASSERT_GE(names.size(), 8) << names.join(' ').toStdString();
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty()) {
        GTEST_SKIP() << "ffmpeg is not installed (tools/install-deps.sh installs it)";
    }
    QList<double> loudness;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString file = ringtoneFile(folder, name);
        QProcess p;
        p.start(ffmpeg, {"-hide_banner", "-nostdin", "-i", file, "-af", "ebur128", "-ac", "1",
                         "-ar", "48000", "-f", "f32le", "-c:a", "pcm_f32le", "-"});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QByteArray pcm = p.readAllStandardOutput();
        const auto* s = reinterpret_cast<const float*>(pcm.constData());
        const qsizetype n = pcm.size() / qsizetype(sizeof(float));
        EXPECT_LE(n, 4 * 48000 + 2048);  // AAC decodes with up to two frames of padding
        ASSERT_GE(n, 48000);
        float peak = 0;
        double sum = 0;
        for (qsizetype i = 0; i < n; ++i) {
            peak = std::max(peak, std::abs(s[i]));
            sum += s[i];
        }
        EXPECT_GT(peak, 0.1F) << "audible";
        EXPECT_LT(peak, 1.0F) << "not clipped";
        EXPECT_LT(std::abs(sum / double(n)), 1e-3) << "no DC offset";
        // The loop joins end to start: both near silence, or the repeat clicks.
        EXPECT_LT(std::abs(s[0]), 0.01F);
        EXPECT_LT(std::abs(s[n - 1]), 0.01F);
        const QString log = QString::fromUtf8(p.readAllStandardError());
        const auto lufs =
            QRegularExpression("Integrated loudness:\\s*I:\\s*(-?[0-9.]+) LUFS").match(log);
        ASSERT_TRUE(lufs.hasMatch()) << log.right(400).toStdString();
        loudness.append(lufs.captured(1).toDouble());
    }
    // One loudness for all: switching ringtones must not make an alarm quieter.
    const auto [lo, hi] = std::minmax_element(loudness.begin(), loudness.end());
    EXPECT_LE(*hi - *lo, 1.0) << "loudness spread " << *lo << " .. " << *hi << " LUFS";
}

}  // namespace
}  // namespace pendra

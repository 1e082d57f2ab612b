#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cmath>

namespace pendra {

// A tone the program makes itself, for when no sound file can be played: four
// short 880 Hz beeps and a pause, 1.6 s, as 16-bit stereo at 44.1 kHz. It
// starts and ends at zero, so it loops without a click.
inline QByteArray alarmTonePcm() {
    constexpr int kRate = 44100;
    constexpr double kPi = 3.14159265358979323846;
    const int frames = kRate * 16 / 10;
    QByteArray pcm(frames * 4, Qt::Uninitialized);
    auto* out = reinterpret_cast<qint16*>(pcm.data());
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        const double inCycle = std::fmod(t, 0.25);
        const bool on = t < 1.0 && inCycle < 0.15;
        // 5 ms ramps at each edge of a beep.
        const double edge = std::min(inCycle, 0.15 - inCycle) / 0.005;
        const double gain = on ? 0.5 * std::min(1.0, edge) : 0.0;
        const auto v = qint16(std::lround(gain * 32767.0 * std::sin(2 * kPi * 880.0 * t)));
        out[2 * i] = qToLittleEndian(v);
        out[2 * i + 1] = qToLittleEndian(v);
    }
    return pcm;
}

// The same as a WAV file, for a player outside the program.
inline QByteArray alarmToneWav() {
    const QByteArray pcm = alarmTonePcm();
    QByteArray wav;
    auto u32 = [&](quint32 v) {
        const quint32 le = qToLittleEndian(v);
        wav.append(reinterpret_cast<const char*>(&le), 4);
    };
    auto u16 = [&](quint16 v) {
        const quint16 le = qToLittleEndian(v);
        wav.append(reinterpret_cast<const char*>(&le), 2);
    };
    wav.append("RIFF");
    u32(quint32(36 + pcm.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);  // PCM
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    wav.append("data");
    u32(quint32(pcm.size()));
    wav.append(pcm);
    return wav;
}

}  // namespace pendra

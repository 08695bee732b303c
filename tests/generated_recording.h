// SPDX-License-Identifier: GPL-3.0-or-later
// A recording of known beacons, written to a file, for the receiving tests.
#pragma once

#include "cw_synth.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sndfile.h>

#include <random>

struct GeneratedRecording
{
    QStringList sent; // the beacons keyed, in order
    QList<double> starts; // seconds from the start to each one's first mark
    std::vector<float> samples;
    int rate = 0;
    double seconds() const { return double(samples.size()) / rate; }
};

// `count` random beacons at `rate`, 10 dB above the noise; `format` a libsndfile major format.
inline GeneratedRecording makeRecording(
    std::uint64_t seed, int count, int rate, double noiseTailSeconds = 1.5)
{
    std::mt19937_64 random(seed);
    std::vector<std::string> texts;
    texts.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        texts.push_back(cwsynth::randomBeacon(random));
    }
    cwsynth::SignalParams p;
    p.sampleRate = rate;
    p.wpm = 24.0;
    p.snrDb = 10.0;
    p.startHz = 700.0;
    p.seed = seed;
    p.tailSeconds = noiseTailSeconds;
    cwsynth::Signal signal(p, texts);
    GeneratedRecording recording;
    recording.rate = rate;
    recording.samples = signal.renderAll();
    for (const auto& sent : signal.sent()) {
        recording.sent << QString::fromStdString(sent.text);
        recording.starts << sent.start;
    }
    return recording;
}

inline bool writeRecording(
    const QString& path, const GeneratedRecording& recording, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16)
{
    SF_INFO info {};
    info.samplerate = recording.rate;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const auto frames = sf_count_t(recording.samples.size());
    const bool written = sf_writef_float(file, recording.samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

// The samples of a 16-bit recording as the raw signed 16-bit little-endian PCM an SDR program
// streams: the very values the file holds.
inline QByteArray readS16le(const QString& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (file == nullptr || info.channels != 1) {
        return {};
    }
    std::vector<short> values(std::size_t(info.frames));
    const sf_count_t got = sf_readf_short(file, values.data(), info.frames);
    sf_close(file);
    QByteArray bytes;
    bytes.reserve(qsizetype(got) * 2);
    for (sf_count_t i = 0; i < got; ++i) {
        const auto v = quint16(values[std::size_t(i)]);
        bytes.append(char(v & 0xffU)).append(char(v >> 8U));
    }
    return bytes;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio_input.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sndfile.h>

#include <array>
#include <memory>
#include <vector>

namespace cwaudio {

namespace {

constexpr sf_count_t blockFrames = 4096;

struct SndfileCloser
{
    void operator()(SNDFILE* file) const { sf_close(file); }
};

QString failure(const QString& name, const QString& what)
{
    return QStringLiteral("%1: %2").arg(name, what);
}

// libsndfile reads a cut-off WAV without complaint, only noting in its log that the data chunk is
// shorter than its header says. A length of 0 or 0xffffffff is what streaming writers leave behind
// (arecord to a pipe); those are fine.
QString truncation(SNDFILE* file)
{
    std::array<char, 8192> log {};
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    const QString text = QString::fromLatin1(log.data());
    static const QRegularExpression dataChunk(QStringLiteral(R"(data\s*:\s*(\d+)\s*\(should be (\d+)\))"));
    const QRegularExpressionMatch m = dataChunk.match(text);
    if (!m.hasMatch()) {
        return {};
    }
    const qulonglong promised = m.captured(1).toULongLong();
    const qulonglong present = m.captured(2).toULongLong();
    if (promised <= present || promised == 0 || promised >= 0xffffffffULL - 64) {
        return {};
    }
    return QStringLiteral("truncated: %1 of %2 bytes of audio present").arg(present).arg(promised);
}

} // namespace

QString decodeAudioFile(const QString& path, const DecodeHandlers& handlers)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return failure(path, QStringLiteral("no such file"));
    }
    if (!info.isFile()) {
        return failure(path, QStringLiteral("not a regular file"));
    }
    if (info.size() == 0) {
        return failure(path, QStringLiteral("empty file"));
    }
    SF_INFO format {};
    std::unique_ptr<SNDFILE, SndfileCloser> file(
        sf_open(QFile::encodeName(path).constData(), SFM_READ, &format));
    if (!file) {
        return failure(path,
            QStringLiteral("not a readable audio file (%1)")
                .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
    }
    if (format.channels < 1 || format.samplerate < 1000 || format.frames <= 0) {
        return failure(path, QStringLiteral("holds no usable audio"));
    }
    // What a cut-off file still holds is decoded; the error is reported all the same.
    const QString truncated = truncation(file.get());
    CwDecoder decoder(format.samplerate, handlers);
    const auto channels = static_cast<std::size_t>(format.channels);
    std::vector<float> interleaved(static_cast<std::size_t>(blockFrames) * channels);
    std::vector<float> mono(static_cast<std::size_t>(blockFrames));
    sf_count_t total = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), blockFrames);
        if (got <= 0) {
            break;
        }
        total += got;
        const auto frames = static_cast<std::size_t>(got);
        for (std::size_t f = 0; f < frames; ++f) {
            float sum = 0.0f;
            for (std::size_t c = 0; c < channels; ++c) {
                sum += interleaved[f * channels + c];
            }
            mono[f] = sum / static_cast<float>(channels);
        }
        decoder.feed(std::span<const float>(mono).first(frames));
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        return failure(
            path, QStringLiteral("read error (%1)").arg(QString::fromLocal8Bit(sf_strerror(file.get()))));
    }
    decoder.finish();
    if (total < format.frames) {
        return failure(path, QStringLiteral("truncated: %1 of %2 frames").arg(total).arg(format.frames));
    }
    return truncated.isEmpty() ? QString() : failure(path, truncated);
}

QString decodeRawStream(
    std::FILE* input, double sampleRate, const QString& name, const DecodeHandlers& handlers)
{
    if (sampleRate < 1000) {
        return failure(name, QStringLiteral("sample rate %1 is too low").arg(sampleRate));
    }
    CwDecoder decoder(sampleRate, handlers);
    // Small blocks keep the latency of a live stream low.
    std::array<unsigned char, 2048> bytes {};
    std::array<float, bytes.size() / 2> samples {};
    std::size_t carry = 0;
    for (;;) {
        const std::size_t got = std::fread(bytes.data() + carry, 1, bytes.size() - carry, input);
        const std::size_t have = carry + got;
        const std::size_t count = have / 2;
        for (std::size_t i = 0; i < count; ++i) {
            const auto value = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            samples[i] = static_cast<float>(value) / 32768.0f;
        }
        decoder.feed(std::span<const float>(samples).first(count));
        carry = have % 2;
        if (carry != 0) {
            bytes[0] = bytes[have - 1];
        }
        if (got == 0) {
            break;
        }
    }
    if (std::ferror(input) != 0) {
        return failure(name, QStringLiteral("read error"));
    }
    decoder.finish();
    return {};
}

} // namespace cwaudio

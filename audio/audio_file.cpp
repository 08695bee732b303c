// SPDX-License-Identifier: GPL-3.0-or-later
#include "cw_audio.h"
#include "vector_state.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sndfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
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

struct VorbisCloser
{
    void operator()(OggVorbis_File* file) const
    {
        ov_clear(file);
        delete file;
    }
};
using VorbisFile = std::unique_ptr<OggVorbis_File, VorbisCloser>;

// Ogg Vorbis read through libvorbisfile, which hands out each decoded packet's samples in place:
// libsndfile copies them one by one into its own buffer first, a tenth of the decoding's cost
// again. Only a stream libsndfile has already read the same way (rate, channels) is taken.
VorbisFile openVorbis(const QString& path, const SF_INFO& format)
{
    if ((format.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_OGG ||
        (format.format & SF_FORMAT_SUBMASK) != SF_FORMAT_VORBIS) {
        return {};
    }
    auto file = std::make_unique<OggVorbis_File>();
    if (ov_fopen(QFile::encodeName(path).constData(), file.get()) != 0) {
        return {};
    }
    VorbisFile vorbis(file.release());
    const vorbis_info* info = ov_info(vorbis.get(), -1);
    if (info == nullptr || info->channels != format.channels || info->rate != format.samplerate ||
        ov_streams(vorbis.get()) != 1) {
        return {};
    }
    return vorbis;
}

// Mixes `frames` frames of `channels` to `mono`; `sample(c, f)` is channel c's frame f.
template<typename Sample>
void mixDown(std::size_t frames, std::size_t channels, float* mono, Sample&& sample)
{
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) {
            sum += sample(c, f);
        }
        mono[f] = sum / static_cast<float>(channels);
    }
}

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

struct AudioFile::Private
{
    std::unique_ptr<SNDFILE, SndfileCloser> file;
    VorbisFile vorbis; // read from instead of `file` where set
    int vorbisSection = 0;
    SF_INFO format {};
    QString path;
    QString truncated; // what the header promised and the file lacks
    std::vector<float> interleaved;
    qint64 read = 0;
    bool readFailed = false;
    bool atEnd = false; // a read came back empty: `read` is all the file holds

    // Fills `mono` from `vorbis`; returns frames read, 0 at end.
    std::size_t readVorbis(std::span<float> mono);
};

AudioFile::AudioFile(std::unique_ptr<Private> d)
    : d(std::move(d))
{
}

AudioFile::~AudioFile() = default;

std::unique_ptr<AudioFile> AudioFile::open(const QString& path, QString* error)
{
    const auto fail = [&](const QString& what) {
        if (error != nullptr) {
            *error = failure(path, what);
        }
        return nullptr;
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        return fail(QStringLiteral("no such file"));
    }
    if (!info.isFile()) {
        return fail(QStringLiteral("not a regular file"));
    }
    if (info.size() == 0) {
        return fail(QStringLiteral("empty file"));
    }
    auto d = std::make_unique<Private>();
    d->path = path;
    d->file.reset(sf_open(QFile::encodeName(path).constData(), SFM_READ, &d->format));
    if (!d->file) {
        return fail(QStringLiteral("not a readable audio file (%1)")
                        .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
    }
    if (d->format.channels < 1 || d->format.samplerate < 1000 || d->format.frames <= 0) {
        return fail(QStringLiteral("holds no usable audio"));
    }
    d->truncated = truncation(d->file.get());
    d->vorbis = openVorbis(path, d->format);
    return std::unique_ptr<AudioFile>(new AudioFile(std::move(d)));
}

double AudioFile::sampleRate() const
{
    return d->format.samplerate;
}

qint64 AudioFile::frames() const
{
    return d->format.frames;
}

double AudioFile::seconds() const
{
    return d->format.frames == SF_COUNT_MAX ? 0.0 : double(d->format.frames) / d->format.samplerate;
}

std::size_t AudioFile::read(std::span<float> mono)
{
    if (d->readFailed || mono.empty()) {
        return 0;
    }
    const auto channels = static_cast<std::size_t>(d->format.channels);
    const std::size_t wanted = std::min<std::size_t>(mono.size(), blockFrames);
    clearUpperVectorState(); // for the Vorbis, FLAC or MP3 decoder
    if (d->vorbis) {
        const std::size_t got = d->readVorbis(mono.first(wanted));
        d->atEnd = got == 0;
        return got;
    }
    d->interleaved.resize(wanted * channels);
    const sf_count_t got =
        sf_readf_float(d->file.get(), d->interleaved.data(), static_cast<sf_count_t>(wanted));
    if (sf_error(d->file.get()) != SF_ERR_NO_ERROR) {
        d->readFailed = true;
    }
    if (got <= 0) {
        d->atEnd = true;
        return 0;
    }
    const auto frames = static_cast<std::size_t>(got);
    if (channels == 1) {
        std::copy_n(d->interleaved.begin(), frames, mono.begin());
    } else {
        mixDown(frames, channels, mono.data(),
            [&](std::size_t c, std::size_t f) { return d->interleaved[f * channels + c]; });
    }
    d->read += got;
    return frames;
}

std::size_t AudioFile::Private::readVorbis(std::span<float> mono)
{
    const auto channels = static_cast<std::size_t>(format.channels);
    std::size_t filled = 0;
    while (filled < mono.size()) {
        float** pcm = nullptr;
        const long got =
            ov_read_float(vorbis.get(), &pcm, static_cast<int>(mono.size() - filled), &vorbisSection);
        if (got == OV_HOLE) {
            continue; // a gap in the data: what follows is still read
        }
        if (got < 0) {
            readFailed = true;
            break;
        }
        if (got == 0) {
            break;
        }
        const auto frames = static_cast<std::size_t>(got);
        if (channels == 1) {
            std::copy_n(pcm[0], frames, mono.begin() + static_cast<std::ptrdiff_t>(filled));
        } else {
            mixDown(frames, channels, mono.data() + filled,
                [&](std::size_t c, std::size_t f) { return pcm[c][f]; });
        }
        filled += frames;
    }
    read += static_cast<qint64>(filled);
    return filled;
}

QString AudioFile::error() const
{
    if (d->readFailed && d->vorbis) {
        return failure(d->path, QStringLiteral("read error (corrupt Vorbis data)"));
    }
    if (d->readFailed) {
        return failure(d->path,
            QStringLiteral("read error (%1)").arg(QString::fromLocal8Bit(sf_strerror(d->file.get()))));
    }
    if (!d->truncated.isEmpty()) {
        return failure(d->path, d->truncated);
    }
    if (d->atEnd && d->read < d->format.frames) {
        // libsndfile gives its largest count as the length of a file whose end it could not find
        // (a cut-off Ogg stream).
        if (d->format.frames == SF_COUNT_MAX) {
            return failure(d->path, QStringLiteral("truncated after %1 frames").arg(d->read));
        }
        return failure(
            d->path, QStringLiteral("truncated: %1 of %2 frames").arg(d->read).arg(d->format.frames));
    }
    return {};
}

QString decodeAudioFile(const QString& path, const DecodeHandlers& handlers)
{
    QString error;
    const std::unique_ptr<AudioFile> file = AudioFile::open(path, &error);
    if (!file) {
        return error;
    }
    CwDecoder decoder(file->sampleRate(), handlers);
    std::vector<float> mono(static_cast<std::size_t>(blockFrames));
    while (const std::size_t got = file->read(mono)) {
        decoder.feed(std::span<const float>(mono).first(got));
    }
    // What a cut-off file still holds is decoded; the error is reported all the same.
    decoder.finish();
    return file->error();
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

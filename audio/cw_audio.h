// SPDX-License-Identifier: GPL-3.0-or-later
// The CW audio decoder: what the command-line tool and the windows use. Everything else in audio/
// is private to it.
#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace cwaudio {

// Where the tone may be: anywhere an SSB receiver passes, whatever the Doppler shift.
inline constexpr double minToneHz = 100.0, maxToneHz = 3000.0;

// A beacon heard in the audio, with what the demodulator measured while it was sent.
struct AudioBeacon
{
    QString text; // 19 characters, passes beacon::isBeacon
    std::array<double, 19> confidence {}; // per character 0..1
    double time = 0; // seconds from the start of the input to the first mark
    double wpm = 0, toneHz = 0, snrDb = 0;
};

// What a receiver display shows, about 10 times per second of audio.
struct DecoderStatus
{
    double time = 0; // seconds of input so far
    double toneHz = 0; // the tone being followed (0 when none yet)
    double snrDb = 0; // tone over noise in 2500 Hz, recent
    double wpm = 0; // measured speed (0 when not yet known)
    bool locked = false; // a tone is being followed
};

struct DecodeHandlers
{
    std::function<void(const AudioBeacon&)> beacon;
    // Raw decoded text as it becomes final; confidence has one value 0..1 per char of text
    // (spaces 1.0).
    std::function<void(std::string_view text, std::span<const float> confidence)> text;
    std::function<void(const DecoderStatus&)> status;
};

class Pipeline;

// Streaming CW demodulator: beacons are handed out as soon as the space after their last character
// shows they are complete. Memory stays bounded however long the input is.
class CwDecoder
{
public:
    CwDecoder(double sampleRate, DecodeHandlers handlers);
    ~CwDecoder();
    CwDecoder(const CwDecoder&) = delete;
    CwDecoder& operator=(const CwDecoder&) = delete;

    void feed(std::span<const float> samples); // mono, any block size
    // End of input: decides everything still held back and reports what it completes.
    void finish();
    // Click-to-tune: follow the tone near `hz` (within about +-100 Hz of it, still following
    // drift) instead of searching the whole band; clearToneHint() goes back to searching.
    void setToneHint(double hz);
    void clearToneHint();
    // Live input: also reads what came in so far as if it ended now, a few times a second while a
    // beacon may be ending, so a beacon is reported once the word space after it has been heard
    // rather than after the full look-ahead (more CPU; each beacon is still reported once).
    void setEarlyReports(bool on);

private:
    std::unique_ptr<Pipeline> m_pipeline;
};

// A recording read block by block, channels mixed to mono (anything libsndfile reads).
class AudioFile
{
public:
    // Null and a message naming the file when it cannot be read.
    static std::unique_ptr<AudioFile> open(const QString& path, QString* error);
    ~AudioFile();
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    double sampleRate() const;
    qint64 frames() const; // total as the header says; the largest count where it cannot tell
    // Length for progress and a recording's start: 0 where the file cannot tell (cut off early).
    double seconds() const;
    // Fills `mono` from the current position; returns frames read, 0 at end.
    std::size_t read(std::span<float> mono);
    // E.g. a read error, or once read to its end, fewer frames than the header promised; empty
    // when fine.
    QString error() const;

private:
    struct Private;
    explicit AudioFile(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

// Decodes an audio file, block by block. Returns an empty string on success, else a message
// naming the file (what a cut-off file still holds is decoded all the same).
QString decodeAudioFile(const QString& path, const DecodeHandlers& handlers);

// Decodes raw signed 16-bit little-endian mono PCM at `sampleRate` from `input` until its end;
// `name` is what error messages call the input.
QString decodeRawStream(
    std::FILE* input, double sampleRate, const QString& name, const DecodeHandlers& handlers);

} // namespace cwaudio

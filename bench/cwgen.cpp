// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a CW test recording and, next to it, the beacons sent and when. Without channel options
// it is the plain generator (8 kHz mono WAV, drift, sinusoidal fading); any channel option (or
// --keying ebook2cw) puts the keying through the channel model instead: Doppler of a pass,
// listener retuning, spin and slow fading, a second station, static crashes, an SSB receiver,
// 48 kHz stereo WAV, FLAC, OGG Vorbis or MP3 (by the file name's extension).
#include "channel.h"
#include "cw_synth.h"
#include "keying.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

[[noreturn]] void usage()
{
    std::fputs("usage: cwgen --out FILE.{wav,flac,ogg,mp3} [--truth FILE] [--seed N] [--count N] [--wpm W]\n"
               "             [--snr DB] [--no-noise] [--start-hz F] [--drift HZ] [--fade DB] [--rate HZ]\n"
               "             [--level DB] [--jitter SHARE] [--grouped] [--noise-seconds S]\n"
               "  channel:   [--keying hand|ebook2cw] [--channels N] [--pause MIN:MAX] [--drift-rate HZ/S]\n"
               "             [--doppler-mhz F] [--altitude-km H] [--max-elevation DEG] [--pass-offset S]\n"
               "             [--centre-on-closest] [--correction-error S] [--whole-pass] [--keep-band LO:HI] "
               "[--retune S]\n"
               "             [--spin-null DB] [--slow-fade DB] [--other-offset HZ] [--other-db DB]\n"
               "             [--impulses PER_S] [--receiver]\n",
        stderr);
    std::exit(2);
}

std::pair<double, double> range(const char* text)
{
    double a = 0.0;
    double b = 0.0;
    if (std::sscanf(text, "%lf:%lf", &a, &b) != 2) {
        usage();
    }
    return { a, b };
}

int formatFor(const std::string& path)
{
    const auto ends = [&](const char* ext) {
        const std::size_t n = std::strlen(ext);
        return path.size() >= n && path.compare(path.size() - n, n, ext) == 0;
    };
    if (ends(".flac")) {
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    }
    if (ends(".ogg")) {
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    }
    if (ends(".mp3")) {
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

// Other stations' traffic: calls, reports and names, the kind of text a contact carries.
std::vector<std::string> otherTraffic(std::mt19937_64& random, int count)
{
    static const char* const words[] = { "CQ", "DE", "K", "TU", "RST", "599", "5NN", "NAME", "QTH", "UR",
        "TNX", "73", "GM", "OP", "RIG", "ANT", "WX", "HR", "BK", "QSL", "FB", "ES", "PSE", "AGN", "HW",
        "CPY" };
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string call = { letters[random() % 26], letters[random() % 26] };
        call += static_cast<char>('0' + random() % 10);
        for (std::uint64_t k = 0, n = 1 + random() % 3; k < n; ++k) {
            call += letters[random() % 26];
        }
        std::string text = call;
        for (std::uint64_t w = 0, n = 4 + random() % 8; w < n; ++w) {
            text += ' ';
            text += random() % 4 == 0 ? call : words[random() % std::size(words)];
        }
        texts.push_back(text);
    }
    return texts;
}

bool writeFile(const std::string& out, int rate, int channels, auto&& render)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = formatFor(out);
    SNDFILE* file = sf_open(out.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "cwgen: %s: %s\n", out.c_str(), sf_strerror(nullptr));
        return false;
    }
    // Clip rather than wrap the rare noise peak above full scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::vector<float> block(static_cast<std::size_t>(65536 * channels));
    while (const std::size_t n = render(std::span<float>(block))) {
        sf_writef_float(file, block.data(), static_cast<sf_count_t>(n));
    }
    sf_close(file);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    cwsynth::SignalParams p;
    cwsynth::ChannelParams c;
    std::string out;
    std::string truth;
    std::string keying = "hand";
    int count = 5;
    bool grouped = false;
    bool channel = false;
    bool rateGiven = false;
    bool centre = false; // the recording's middle at the pass's closest approach
    double noiseSeconds = 0.0;
    std::pair<double, double> pause { p.minPauseSeconds, p.maxPauseSeconds };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                usage();
            }
            return argv[++i];
        };
        const auto number = [&] { return std::atof(value()); };
        // Any channel option switches to the channel model.
        const auto channelNumber = [&] {
            channel = true;
            return number();
        };
        if (arg == "--out") {
            out = value();
        } else if (arg == "--truth") {
            truth = value();
        } else if (arg == "--seed") {
            p.seed = std::strtoull(value(), nullptr, 10);
        } else if (arg == "--count") {
            count = std::atoi(value());
        } else if (arg == "--wpm") {
            p.wpm = number();
        } else if (arg == "--snr") {
            p.snrDb = number();
        } else if (arg == "--no-noise") {
            p.noise = false;
        } else if (arg == "--start-hz") {
            p.startHz = number();
        } else if (arg == "--drift") {
            p.driftHz = number();
        } else if (arg == "--fade") {
            p.fadeDb = number();
        } else if (arg == "--rate") {
            p.sampleRate = number();
            rateGiven = true;
        } else if (arg == "--level") {
            p.amplitude *= std::pow(10.0, number() / 20);
        } else if (arg == "--jitter") {
            p.jitter = number();
        } else if (arg == "--grouped") {
            grouped = true;
        } else if (arg == "--noise-seconds") {
            noiseSeconds = number();
        } else if (arg == "--keying") {
            keying = value();
            channel = channel || keying != "hand";
        } else if (arg == "--channels") {
            c.channels = static_cast<int>(channelNumber());
        } else if (arg == "--pause") {
            pause = range(value());
        } else if (arg == "--drift-rate") {
            c.driftHzPerSecond = channelNumber();
        } else if (arg == "--doppler-mhz") {
            c.downlinkHz = channelNumber() * 1e6;
        } else if (arg == "--altitude-km") {
            c.altitudeKm = channelNumber();
        } else if (arg == "--max-elevation") {
            c.maxElevationDeg = channelNumber();
        } else if (arg == "--pass-offset") {
            c.passOffsetSeconds = channelNumber();
        } else if (arg == "--centre-on-closest") {
            channel = true;
            centre = true;
        } else if (arg == "--correction-error") {
            c.correctionErrorSeconds = channelNumber();
        } else if (arg == "--whole-pass") {
            channel = true;
            c.passLevel = true;
        } else if (arg == "--keep-band") {
            channel = true;
            std::tie(c.keepLowHz, c.keepHighHz) = range(value());
        } else if (arg == "--retune") {
            c.retuneSeconds = channelNumber();
        } else if (arg == "--spin-null") {
            c.spinNullDb = channelNumber();
        } else if (arg == "--slow-fade") {
            c.slowFadeDb = channelNumber();
        } else if (arg == "--other-offset") {
            c.otherOffsetHz = channelNumber();
            c.other = true;
        } else if (arg == "--other-db") {
            c.otherDb = channelNumber();
        } else if (arg == "--impulses") {
            c.impulsesPerSecond = channelNumber();
        } else if (arg == "--receiver") {
            channel = true;
            c.receiver = true;
        } else {
            usage();
        }
    }
    if (out.empty()) {
        usage();
    }

    std::mt19937_64 random(p.seed ^ 0x9e3779b97f4a7c15ULL);
    const cwsynth::PassGeometry geometry(c.altitudeKm, c.maxElevationDeg);
    if (c.passLevel) {
        // Beacons from rise to set: enough of them to fill the pass.
        count = static_cast<int>((geometry.durationSeconds() - c.passOffsetSeconds) / 20.0) + 2;
    }
    std::vector<std::string> texts;
    for (int i = 0; i < count && noiseSeconds <= 0.0; ++i) {
        std::string text = cwsynth::randomBeacon(random);
        if (grouped) {
            // Sent in groups, the way listeners write it down: TARNUP Q8CQ CG4X GG4D Z.
            text = text.substr(0, 6) + ' ' + text.substr(6, 4) + ' ' + text.substr(10, 4) + ' ' +
                text.substr(14, 4) + ' ' + text.substr(18);
        }
        texts.push_back(text);
    }

    std::vector<cwsynth::SentBeacon> sent;
    std::vector<double> levels; // SNR while each beacon was sent
    if (!channel) {
        p.minPauseSeconds = pause.first;
        p.maxPauseSeconds = pause.second;
        cwsynth::Signal signal =
            noiseSeconds > 0.0 ? cwsynth::Signal(p, noiseSeconds) : cwsynth::Signal(p, texts);
        if (!writeFile(out, static_cast<int>(p.sampleRate), 1,
                [&](std::span<float> b) { return signal.render(b); })) {
            return 1;
        }
        sent = signal.sent();
    } else {
        c.sampleRate = rateGiven ? p.sampleRate : 48000.0;
        c.snrDb = p.snrDb;
        c.toneHz = p.startHz;
        c.seed = p.seed;
        const cwsynth::HandKeying hand { p.wpm, p.jitter, p.leadSeconds, pause.first, pause.second };
        cwsynth::Envelope beacon;
        if (noiseSeconds > 0.0) {
            beacon.level.assign(static_cast<std::size_t>(noiseSeconds * beacon.rate), 0.0f);
        } else if (keying == "ebook2cw") {
            std::string error;
            beacon = cwsynth::keyByEbook2cw(hand, texts, random, error);
            if (beacon.level.empty()) {
                std::fprintf(stderr, "cwgen: %s\n", error.c_str());
                return 1;
            }
        } else if (keying == "hand") {
            beacon =
                cwsynth::envelopeOf(cwsynth::keyByHand(hand, texts, random), p.edgeSeconds, p.tailSeconds);
        } else {
            usage();
        }
        cwsynth::Envelope other;
        if (c.other) {
            // Another operator at another speed, sending steadily with short breaks.
            std::uniform_real_distribution<double> speed(14.0, 30.0);
            const cwsynth::HandKeying op { speed(random), 0.08, 0.3, 0.5, 3.0 };
            const int needed = static_cast<int>(beacon.seconds() / 8.0) + 2;
            other =
                cwsynth::envelopeOf(cwsynth::keyByHand(op, otherTraffic(random, needed), random), 0.004, 0.0);
        }
        if (centre) {
            c.passOffsetSeconds = (geometry.durationSeconds() - beacon.seconds()) / 2;
        }
        cwsynth::Channel model(c, beacon, c.other ? &other : nullptr);
        if (!writeFile(out, static_cast<int>(c.sampleRate), c.channels,
                [&](std::span<float> b) { return model.render(b); })) {
            return 1;
        }
        for (const cwsynth::SentBeacon& b : beacon.sent) {
            // Only what went out completely before the recording ended.
            if (b.end < model.durationSeconds()) {
                sent.push_back(b);
                levels.push_back(c.snrDb + model.passLevelDb((b.start + b.end) / 2));
            }
        }
    }

    if (!truth.empty()) {
        std::ofstream t(truth);
        for (std::size_t i = 0; i < sent.size(); ++i) {
            t << sent[i].text << ' ' << sent[i].start;
            if (c.passLevel) {
                t << ' ' << levels[i];
            }
            t << '\n';
        }
    }
    return 0;
}

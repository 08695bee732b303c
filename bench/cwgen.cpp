// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a CW test recording (16-bit WAV) and, next to it, the beacons sent and when.
#include "cw_synth.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void usage()
{
    std::fputs("usage: cwgen --out FILE.wav [--truth FILE] [--seed N] [--count N] [--wpm W] [--snr DB]\n"
               "             [--no-noise] [--start-hz F] [--drift HZ] [--fade DB] [--rate HZ] [--level DB]\n"
               "             [--jitter SHARE] [--grouped] [--noise-seconds S]\n",
        stderr);
    std::exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    cwsynth::SignalParams p;
    std::string out;
    std::string truth;
    int count = 5;
    bool grouped = false;
    double noiseSeconds = 0.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                usage();
            }
            return argv[++i];
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
            p.wpm = std::atof(value());
        } else if (arg == "--snr") {
            p.snrDb = std::atof(value());
        } else if (arg == "--no-noise") {
            p.noise = false;
        } else if (arg == "--start-hz") {
            p.startHz = std::atof(value());
        } else if (arg == "--drift") {
            p.driftHz = std::atof(value());
        } else if (arg == "--fade") {
            p.fadeDb = std::atof(value());
        } else if (arg == "--rate") {
            p.sampleRate = std::atof(value());
        } else if (arg == "--level") {
            p.amplitude *= std::pow(10.0, std::atof(value()) / 20);
        } else if (arg == "--jitter") {
            p.jitter = std::atof(value());
        } else if (arg == "--grouped") {
            grouped = true;
        } else if (arg == "--noise-seconds") {
            noiseSeconds = std::atof(value());
        } else {
            usage();
        }
    }
    if (out.empty()) {
        usage();
    }

    std::mt19937_64 random(p.seed ^ 0x9e3779b97f4a7c15ULL);
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
    cwsynth::Signal signal =
        noiseSeconds > 0.0 ? cwsynth::Signal(p, noiseSeconds) : cwsynth::Signal(p, texts);

    SF_INFO info {};
    info.samplerate = static_cast<int>(p.sampleRate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(out.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "cwgen: %s: %s\n", out.c_str(), sf_strerror(nullptr));
        return 1;
    }
    // Clip rather than wrap the rare noise peak above full scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::vector<float> block(65536);
    while (const std::size_t n = signal.render(block)) {
        sf_writef_float(file, block.data(), static_cast<sf_count_t>(n));
    }
    sf_close(file);

    if (!truth.empty()) {
        std::ofstream t(truth);
        for (const cwsynth::SentBeacon& b : signal.sent()) {
            t << b.text << ' ' << b.start << '\n';
        }
    }
    return 0;
}

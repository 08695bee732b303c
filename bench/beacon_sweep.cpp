// SPDX-License-Identifier: GPL-3.0-or-later
// Wrong beacons are rare (a few in a thousand where they happen at all): the benchmark's rows of
// 12 and 36 beacons cannot show them. This renders many short recordings (cwsynth::renderSweep)
// straight into the decoder, nothing written, and counts what it reports:
//   beacon_sweep --seeds FROM:TO --snr DB --wpm N [--spin | --no-doppler]
// Prints each wrong beacon and a summary line.
#include "cw_audio.h"
#include "sweep_scene.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Options
{
    long from = 0;
    long to = -1;
    double snrDb = 0.0;
    double wpm = 18.0;
    bool spin = false;
    bool doppler = true;
};

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--spin") {
            o.spin = true;
            continue;
        }
        if (arg == "--no-doppler") {
            o.doppler = false;
            continue;
        }
        const bool known = arg == "--seeds" || arg == "--snr" || arg == "--wpm";
        if (!known || i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--seeds") {
            char* end = nullptr;
            o.from = std::strtol(value, &end, 10);
            o.to = *end == ':' ? std::strtol(end + 1, nullptr, 10) : o.from;
        } else if (arg == "--snr") {
            o.snrDb = std::atof(value);
        } else {
            o.wpm = std::atof(value);
        }
    }
    return o.to >= o.from && o.wpm > 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(
            stderr, "usage: beacon_sweep --seeds FROM:TO --snr DB --wpm N [--spin | --no-doppler]\n");
        return 2;
    }
    long sent = 0;
    long found = 0;
    long wrong = 0;
    for (long seed = o.from; seed <= o.to; ++seed) {
        const cwsynth::SweepRecording r =
            cwsynth::renderSweep({ o.snrDb, o.wpm, o.spin, o.doppler }, static_cast<std::uint64_t>(seed));
        std::vector<std::string> heard;
        cwaudio::DecodeHandlers handlers;
        handlers.beacon = [&](const cwaudio::AudioBeacon& b) { heard.push_back(b.text.toStdString()); };
        cwaudio::CwDecoder decoder(r.sampleRate, handlers);
        decoder.feed(r.samples);
        decoder.finish();
        sent += static_cast<long>(r.sent.size());
        for (const std::string& text : heard) {
            if (std::ranges::find(r.sent, text) != r.sent.end()) {
                ++found;
            } else {
                ++wrong;
                std::printf("wrong: seed %ld %s\n", seed, text.c_str());
            }
        }
    }
    std::printf("sent %ld found %ld wrong %ld\n", sent, found, wrong);
    return 0;
}

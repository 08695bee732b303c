// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweep_scene.h"

#include "channel.h"
#include "cw_synth.h"
#include "keying.h"
#include "pass_geometry.h"

#include <algorithm>
#include <random>

namespace cwsynth {

SweepRecording renderSweep(const SweepScene& scene, std::uint64_t seed)
{
    ChannelParams params;
    params.sampleRate = 8000.0;
    params.channels = 1;
    params.snrDb = scene.snrDb;
    params.seed = seed;
    if (scene.spin) {
        params.toneHz = 1100.0;
        params.spinNullDb = 20.0;
    } else {
        params.toneHz = 300.0 + static_cast<double>((seed * 677) % 2400);
        params.downlinkHz = scene.doppler ? 145.8e6 : 0.0;
        params.maxElevationDeg = 30.0;
        params.keepLowHz = 400.0;
        params.keepHighHz = 2600.0;
    }
    std::mt19937_64 random(seed + 5);
    std::mt19937_64 textRandom(seed * 7 + 3);
    std::vector<std::string> texts(scene.spin ? 2 : 3);
    std::ranges::generate(texts, [&] { return randomBeacon(textRandom); });
    const HandKeying hand { scene.wpm, 0.1, 1.0, scene.spin ? 1.5 : 10.0, scene.spin ? 3.0 : 15.0 };
    const Envelope beacons = envelopeOf(keyByHand(hand, texts, random), 0.005, 1.5);
    if (!scene.spin) {
        const PassGeometry geometry(params.altitudeKm, params.maxElevationDeg);
        params.passOffsetSeconds = (geometry.durationSeconds() - beacons.seconds()) / 2;
    }
    Channel model(params, beacons, nullptr);
    SweepRecording out;
    out.sampleRate = params.sampleRate;
    out.samples.resize(static_cast<std::size_t>(model.totalFrames()));
    model.render(out.samples);
    for (const SentBeacon& b : beacons.sent) {
        out.sent.push_back(b.text);
    }
    return out;
}

} // namespace cwsynth

// SPDX-License-Identifier: GPL-3.0-or-later
// Thin driver over the audio decoder: one line per beacon, or the raw text with --morse-text.
#include "audio_input.h"
#include "beacon.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    bool text = false;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--morse-text") == 0) {
            text = true;
            continue;
        }
        cwaudio::DecodeHandlers handlers;
        if (text) {
            handlers.text = [](std::string_view t) {
                std::fwrite(t.data(), 1, t.size(), stdout);
                std::fflush(stdout);
            };
        } else {
            handlers.beacon = [](const cwaudio::AudioBeacon& b) {
                double least = 1.0;
                double product = 1.0;
                for (const double c : b.confidence) {
                    least = std::min(least, c);
                    product *= c;
                }
                std::printf("%s time=%.1f wpm=%.1f tone=%.0f snr=%.1f minconf=%.2f product=%.3f cost=%.2f\n",
                    qPrintable(b.text), b.time, b.wpm, b.toneHz, b.snrDb, least, product, b.cost);
                std::fflush(stdout);
            };
        }
        const QString error = cwaudio::decodeAudioFile(QString::fromLocal8Bit(argv[i]), handlers);
        if (text) {
            std::putchar('\n');
        }
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            status = 2;
        }
    }
    return status;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings and generated signals through the live path (the decoder with early reports, fed
// 1024 samples at a time as gqrx sends them), without a window or a socket:
//   bench_receiver_replay --latency [BEACONS]   generated 48 kHz signals at 12/18/25 WPM and 0/-6 dB:
//                                      a beacon's last mark to its report, in samples fed, with and
//                                      without early reports, and the decoder's CPU per second of audio
//   bench_receiver_replay FILE...      each recording read as a file (tarnup-decode --audio) and
//                                      through the live path: the beacons must be the same; a
//                                      beacon only one path found is checked against FILE.txt, the
//                                      beacons cwgen --truth says were sent, where there is one
#include "bench_median.h"
#include "cw_audio.h"
#include "cw_synth.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

using namespace Qt::StringLiterals;

namespace {

constexpr std::size_t block = 1024; // samples a datagram, as gqrx sends

struct Heard
{
    QString text;
    double time = 0.0; // first mark, seconds
    qint64 fedAt = 0; // samples fed when it was reported
};

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// Feeds `next` (which fills a block, 0 at the end) through a decoder in blocks; `cpu` gets its time.
template<typename Source>
std::vector<Heard> runLive(double rate, bool early, Source next, double* cpu = nullptr)
{
    std::vector<Heard> heard;
    qint64 fed = 0;
    cwaudio::DecodeHandlers handlers;
    handlers.beacon = [&](const cwaudio::AudioBeacon& b) { heard.push_back({ b.text, b.time, fed }); };
    std::vector<float> samples(block);
    double spent = 0.0;
    cwaudio::CwDecoder decoder(rate, handlers);
    decoder.setEarlyReports(early);
    while (const std::size_t n = next(std::span<float>(samples))) {
        fed += qint64(n);
        const double before = cpuSeconds();
        decoder.feed(std::span<const float>(samples).first(n));
        spent += cpuSeconds() - before;
    }
    decoder.finish();
    if (cpu) {
        *cpu = spent;
    }
    return heard;
}

QString withoutSpaces(const std::string& text)
{
    return QString::fromStdString(text).remove(u' ');
}

int latency(int beacons)
{
    std::printf(
        "| WPM | SNR | sent | found (full / early) | wrong or extra (full / early) | last mark to report, "
        "median (full / early) | max early | decoder CPU per s of audio (full / early) |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    std::uint64_t seed = 424242;
    for (const double snr : { 0.0, -6.0 }) {
        for (const double wpm : { 12.0, 18.0, 25.0 }) {
            cwsynth::SignalParams p;
            p.sampleRate = 48000.0;
            p.wpm = wpm;
            p.snrDb = snr;
            p.seed = ++seed;
            std::mt19937_64 random(p.seed);
            p.startHz = 400.0 + double(random() % 1800);
            // Live, the stream goes on after a beacon: quiet for longer than the look-ahead.
            p.minPauseSeconds = 4.0;
            p.maxPauseSeconds = 8.0;
            p.tailSeconds = 6.0;
            std::vector<std::string> texts;
            texts.reserve(std::size_t(beacons));
            for (int i = 0; i < beacons; ++i) {
                texts.push_back(cwsynth::randomBeacon(random));
            }
            int found[2] = {};
            int wrong[2] = {};
            std::vector<double> ms[2];
            double cpu[2] = {};
            double seconds = 0.0;
            for (const int early : { 0, 1 }) {
                cwsynth::Signal signal(p, texts);
                seconds = double(signal.totalSamples()) / p.sampleRate;
                const auto& sent = signal.sent();
                const auto heard = runLive(
                    p.sampleRate, early == 1, [&](std::span<float> b) { return signal.render(b); },
                    &cpu[early]);
                for (const Heard& h : heard) {
                    const auto it = std::find_if(sent.begin(), sent.end(),
                        [&](const cwsynth::SentBeacon& s) { return withoutSpaces(s.text) == h.text; });
                    if (it == sent.end()) {
                        ++wrong[early];
                        continue;
                    }
                    ++found[early];
                    ms[early].push_back((double(h.fedAt) / p.sampleRate - it->end) * 1e3);
                }
            }
            std::printf(
                "| %.0f | %+.0f dB | %d | %d / %d | %d / %d | %.0f / %.0f ms | %.0f ms | %.2f / %.2f ms |\n",
                wpm, snr, beacons, found[0], found[1], wrong[0], wrong[1], median(ms[0]), median(ms[1]),
                ms[1].empty() ? 0.0 : *std::max_element(ms[1].begin(), ms[1].end()), cpu[0] / seconds * 1e3,
                cpu[1] / seconds * 1e3);
            std::fflush(stdout);
        }
    }
    return 0;
}

// The beacons cwgen sent, from its --truth file: a beacon (maybe in groups) and its time a line.
QStringList sentBeacons(const QString& truthPath)
{
    QStringList texts;
    QFile truth(truthPath);
    if (truth.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!truth.atEnd()) {
            texts << QString::fromLatin1(truth.readLine()).remove(u' ').left(19);
        }
    }
    return texts;
}

int compareFiles(const QStringList& paths)
{
    int same = 0;
    int missing = 0;
    int extra = 0;
    int extraSent = 0;
    int failed = 0;
    for (const QString& path : paths) {
        std::vector<Heard> asFile;
        cwaudio::DecodeHandlers handlers;
        handlers.beacon = [&](const cwaudio::AudioBeacon& b) { asFile.push_back({ b.text, b.time, 0 }); };
        if (const QString error = cwaudio::decodeAudioFile(path, handlers); !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            ++failed;
            continue;
        }
        QString error;
        const auto file = cwaudio::AudioFile::open(path, &error);
        if (!file) {
            ++failed;
            continue;
        }
        std::vector<Heard> live =
            runLive(file->sampleRate(), true, [&](std::span<float> b) { return file->read(b); });
        // The same beacon: the same text, its first mark within a dot or two.
        int fileOnly = 0;
        for (const Heard& f : asFile) {
            const auto it = std::find_if(live.begin(), live.end(),
                [&](const Heard& l) { return l.text == f.text && std::abs(l.time - f.time) < 0.25; });
            if (it == live.end()) {
                ++fileOnly;
            } else {
                live.erase(it);
                ++same;
            }
        }
        missing += fileOnly;
        extra += int(live.size());
        const QStringList sent = sentBeacons(path + u".txt"_s);
        const bool haveTruth = QFile::exists(path + u".txt"_s);
        if (fileOnly > 0 || !live.empty()) {
            std::printf("%s: %d only as a file,", qPrintable(path), fileOnly);
            for (const Heard& l : live) {
                const bool wasSent = sent.contains(l.text);
                extraSent += wasSent ? 1 : 0;
                std::printf(" live only: %s at %.2f s (%s)", qPrintable(l.text), l.time,
                    !haveTruth    ? "no truth"
                        : wasSent ? "sent"
                                  : "NEVER SENT");
            }
            std::printf("\n");
        }
    }
    std::printf("%lld recordings: %d beacons the same both ways, %d only as a file, %d only live (%d of them "
                "sent), %d unreadable\n",
        static_cast<long long>(paths.size()), same, missing, extra, extraSent, failed);
    return missing + extra + failed > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && args.first() == u"--latency") {
        return latency(args.size() > 1 ? std::max(1, args.at(1).toInt()) : 8);
    }
    if (!args.isEmpty() && !args.first().startsWith(u'-')) {
        return compareFiles(args);
    }
    std::fputs("usage: bench_receiver_replay --latency [BEACONS] | FILE...\n", stderr);
    return 2;
}

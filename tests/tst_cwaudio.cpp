// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon.h"
#include "beacon_finder.h"
#include "beacon_frame.h"
#include "channel.h"
#include "cw_audio.h"
#include "cw_synth.h"
#include "decimator.h"
#include "drift_bank.h"
#include "drift_fit.h"
#include "impulse_blanker.h"
#include "jump_dating.h"
#include "keying_detector.h"
#include "level_code.h"
#include "morse_table.h"
#include "sorted_window.h"
#include "sweep_scene.h"
#include "timing.h"
#include "tone_filter.h"
#include "tone_tracker.h"
#include "vector_state.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(cwsynth::ChannelParams)

namespace {

struct Decoded
{
    std::vector<cwaudio::AudioBeacon> beacons;
    std::string text;
};

cwaudio::DecodeHandlers collectInto(Decoded& out)
{
    cwaudio::DecodeHandlers handlers;
    handlers.beacon = [&out](const cwaudio::AudioBeacon& b) { out.beacons.push_back(b); };
    handlers.text = [&out](std::string_view t, std::span<const float>) { out.text += t; };
    return handlers;
}

// Feeds `samples` in blocks of `block` (0: all at once).
Decoded decode(const std::vector<float>& samples, double rate, std::size_t block = 0)
{
    Decoded out;
    cwaudio::CwDecoder decoder(rate, collectInto(out));
    std::span<const float> rest(samples);
    while (!rest.empty()) {
        const std::size_t n = block == 0 ? rest.size() : std::min(block, rest.size());
        decoder.feed(rest.first(n));
        rest = rest.subspan(n);
    }
    decoder.finish();
    return out;
}

QStringList textsOf(const std::vector<cwaudio::AudioBeacon>& beacons)
{
    QStringList texts;
    for (const auto& b : beacons) {
        texts << b.text;
    }
    return texts;
}

QStringList textsOf(const std::vector<cwsynth::SentBeacon>& sent)
{
    QStringList texts;
    for (const auto& b : sent) {
        texts << QString::fromStdString(b.text);
    }
    return texts;
}

std::vector<std::string> randomBeacons(std::uint64_t seed, int count)
{
    std::mt19937_64 random(seed);
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        texts.push_back(cwsynth::randomBeacon(random));
    }
    return texts;
}

bool writeWav(const QString& path, const std::vector<float>& samples, int rate, int channels, int format)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    std::vector<float> frames;
    for (const float s : samples) {
        for (int c = 0; c < channels; ++c) {
            // The second channel carries the same tone at half strength.
            frames.push_back(c == 0 ? s : 0.5f * s);
        }
    }
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    return true;
}

} // namespace

class TestCwAudio : public QObject
{
    Q_OBJECT

private slots:
    void morseTable_data();
    void morseTable();
    void timing_data();
    void timing();
    void sortedWindow_data();
    void sortedWindow();
    void vectorPathsAgree_data();
    void vectorPathsAgree();
    void toneFilterPair_data();
    void toneFilterPair();
    void toneTracking_data();
    void toneTracking();
    void toneThroughJump_data();
    void toneThroughJump();
    void driftFit_data();
    void driftFit();
    void jumpDating_data();
    void jumpDating();
    void impulseBlanker_data();
    void impulseBlanker();
    void gapPeaks_data();
    void gapPeaks();
    void findBeacon_data();
    void findBeacon();
    void decodeSignal_data();
    void decodeSignal();
    void channel_data();
    void channel();
    void besideStation_data();
    void besideStation();
    void spinRightOrNone_data();
    void spinRightOrNone();
    void passRightOrNone_data();
    void passRightOrNone();
    void retuningListener();
    void clickIsNotMark();
    void statusAndHint();
    void noBeacon_data();
    void noBeacon();
    void streaming_data();
    void streaming();
    void earlyReport_data();
    void earlyReport();
    void audioFile_data();
    void audioFile();
    void rawStream();
    void badInput_data();
    void badInput();
    void commandLine_data();
    void commandLine();
};

void TestCwAudio::morseTable_data()
{
    QTest::addColumn<QString>("symbols");
    QTest::newRow("level alphabet") << beacon::levelAlphabet.toString();
    QTest::newRow("prefix") << beacon::framePrefix.toString();
    QTest::newRow("all letters and digits") << QString::fromLatin1(cwaudio::morseCodes().substr(0, 36));
}

void TestCwAudio::morseTable()
{
    QFETCH(QString, symbols);
    for (const QChar c : symbols) {
        const char symbol = static_cast<char>(c.unicode());
        const std::string_view code = cwaudio::morseCodeOf(symbol);
        QVERIFY2(!code.empty(), qPrintable(c));
        QCOMPARE(cwaudio::morseSymbolOf(code), symbol);
        // Longer codes are slower to send but each element still counts: 1 + 1 per gap, 3 per dash.
        QCOMPARE(cwaudio::morseUnits(code),
            static_cast<int>(code.size()) * 2 - 1 + 2 * static_cast<int>(std::ranges::count(code, '-')));
    }
    QCOMPARE(cwaudio::morseSymbolOf("........"), '\0');
    QVERIFY(cwaudio::morseCodeOf('#').empty());
}

void TestCwAudio::timing_data()
{
    QTest::addColumn<double>("dot");
    QTest::addColumn<double>("bias");
    QTest::addColumn<bool>("known");

    QTest::newRow("exact, no bias") << 10.0 << 0.0 << true;
    QTest::newRow("marks stretched by the threshold") << 12.0 << 3.0 << true;
    QTest::newRow("marks shrunk by the threshold") << 12.0 << -3.0 << true;
    QTest::newRow("30 wpm") << 8.0 << 0.0 << true;
    QTest::newRow("faster than any hand") << 3.0 << 0.0 << false;
}

void TestCwAudio::timing()
{
    QFETCH(double, dot);
    QFETCH(double, bias);
    QFETCH(bool, known);
    // "PARIS PARIS" as sent: one unit a dot, three a dash, gaps of one, three and seven units.
    std::vector<cwaudio::KeyedMark> marks;
    const std::string text = "PARIS PARIS";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view code = cwaudio::morseCodeOf(text[i]);
        for (std::size_t k = 0; k < code.size(); ++k) {
            const bool lastOfWord = k + 1 == code.size() && (i + 1 == text.size() || text[i + 1] == ' ');
            const double gap = k + 1 < code.size() ? 1 : (lastOfWord ? 7 : 3);
            marks.push_back({ 0.0, (code[k] == '-' ? 3 : 1) * dot + bias, gap * dot - bias });
        }
        if (i + 1 < text.size() && text[i + 1] == ' ') {
            ++i;
        }
    }
    const cwaudio::Timing t = cwaudio::estimateTiming(marks, {}, cwaudio::speedRangeFor(200.0));
    QCOMPARE(t.known(), known);
    if (!known) {
        return;
    }
    QVERIFY2(std::abs(t.dot - dot) < 0.05 * dot, qPrintable(QString::number(t.dot)));
    QVERIFY2(std::abs(t.bias - bias) < 0.1 * dot, qPrintable(QString::number(t.bias)));
    for (const auto& m : marks) {
        const auto expected = m.length - bias < 2 * dot ? cwaudio::MarkClass::Dot : cwaudio::MarkClass::Dash;
        QCOMPARE(cwaudio::classifyMark(m.length, t), expected);
    }
    QCOMPARE(cwaudio::classifyGap(1 * dot - bias, t), cwaudio::GapClass::Element);
    QCOMPARE(cwaudio::classifyGap(3 * dot - bias, t), cwaudio::GapClass::Character);
    QCOMPARE(cwaudio::classifyGap(7 * dot - bias, t), cwaudio::GapClass::Word);
}

// Marks for `text` at a dot of `dot` ticks: a space in `text` is a word space; '~' drops the last
// dot of the next character, its time joining the gap it fell into with a peak near the threshold,
// as when the noise swallows a dot.
std::vector<cwaudio::KeyedMark> marksFor(const std::string& text, double dot)
{
    std::vector<cwaudio::KeyedMark> marks;
    double t = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' || text[i] == '~' || text[i] == '/') {
            continue;
        }
        // '_': a pause of 200 units, a beacon's, before the next character.
        if (text[i] == '_') {
            marks.back().gap = 200 * dot;
            t += 197 * dot;
            continue;
        }
        const bool drop = i > 0 && text[i - 1] == '~';
        const std::string_view code = cwaudio::morseCodeOf(text[i]);
        const std::size_t dropped = drop ? code.rfind('.') : std::string_view::npos;
        // '/': the first dash broken by a dropout of 0.3 units in its middle.
        const std::size_t broken = i > 0 && text[i - 1] == '/' ? code.find('-') : std::string_view::npos;
        for (std::size_t k = 0; k < code.size(); ++k) {
            const double length = (code[k] == '-' ? 3 : 1) * dot;
            const bool wordFollows = i + 1 < text.size() && text[i + 1] == ' ';
            const double gap = (k + 1 < code.size() ? 1 : (wordFollows ? 7 : 3)) * dot;
            if (k == dropped && !marks.empty()) {
                // A last dot sits at the start of the gap it joins; any other also before its end.
                marks.back().gap += length + gap;
                marks.back().gapPeak = 0.9;
                marks.back().gapHead = 0.9;
                marks.back().gapTail = k + 1 < code.size() ? 0.9 : 0.0;
            } else if (k == broken) {
                marks.push_back({ t, 1.35 * dot, 0.3 * dot });
                marks.push_back({ t + 1.65 * dot, 1.35 * dot, gap });
            } else {
                marks.push_back({ t, length, gap });
            }
            t += length + gap;
        }
    }
    return marks;
}

void TestCwAudio::sortedWindow_data()
{
    QTest::addColumn<QList<float>>("pushed");
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("keepAfter"); // -1: none
    QTest::addColumn<QList<float>>("held"); // in order
    QTest::addColumn<double>("threshold");
    QTest::addColumn<int>("aboveCount");
    QTest::addColumn<double>("aboveSum");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("filling") << QList<float> { 3, 1, 2 } << 5 << -1 << QList<float> { 1, 2, 3 } << 1.5 << 2
                             << 5.0;
    QTest::newRow("oldest leaves") << QList<float> { 5, 1, 4, 2, 3 } << 3 << -1 << QList<float> { 2, 3, 4 }
                                   << 2.0 << 2 << 7.0;
    QTest::newRow("newest below all")
        << QList<float> { 5, 6, 7, 1 } << 3 << -1 << QList<float> { 1, 6, 7 } << 0.5 << 3 << 14.0;
    QTest::newRow("newest above all")
        << QList<float> { 5, 1, 2, 9 } << 3 << -1 << QList<float> { 1, 2, 9 } << 8.5 << 1 << 9.0;
    QTest::newRow("equal values") << QList<float> { 2, 2, 2, 3 } << 2 << -1 << QList<float> { 2, 3 } << 2.0
                                  << 1 << 3.0;
    QTest::newRow("shrunk afterwards")
        << QList<float> { 1, 2, 3, 4, 5 } << 5 << 2 << QList<float> { 4, 5 } << 0.0 << 2 << 9.0;
    QTest::newRow("none above") << QList<float> { 1, 2 } << 4 << -1 << QList<float> { 1, 2 } << 2.0 << 0
                                << 0.0;
    QTest::newRow("not a number passes through")
        << QList<float> { 1, nan, 2, 3 } << 2 << -1 << QList<float> { 2, 3 } << 0.0 << 2 << 5.0;
}

void TestCwAudio::sortedWindow()
{
    QFETCH(QList<float>, pushed);
    QFETCH(int, keep);
    QFETCH(int, keepAfter);
    QFETCH(QList<float>, held);
    QFETCH(double, threshold);
    QFETCH(int, aboveCount);
    QFETCH(double, aboveSum);
    cwaudio::SortedWindow window(8);
    for (const float value : pushed) {
        window.push(value, static_cast<std::size_t>(keep));
    }
    if (keepAfter >= 0) {
        window.keepNewest(static_cast<std::size_t>(keepAfter));
    }
    QList<float> inOrder;
    for (std::size_t i = 0; i < window.size(); ++i) {
        inOrder.append(window.atRank(i));
    }
    QCOMPARE(inOrder, held);
    // Worked out afresh, and from a threshold below and one above.
    for (const double from : { threshold, threshold - 1.0, threshold + 1.0 }) {
        const cwaudio::SortedWindow::Upper upper =
            from == threshold ? window.above(threshold) : window.above(threshold, window.above(from));
        QCOMPARE(static_cast<int>(upper.count), aboveCount);
        QCOMPARE(upper.sum, aboveSum);
    }
}

namespace {

bool sameBits(std::complex<float> a, std::complex<float> b)
{
    return std::bit_cast<std::uint32_t>(a.real()) == std::bit_cast<std::uint32_t>(b.real()) &&
        std::bit_cast<std::uint32_t>(a.imag()) == std::bit_cast<std::uint32_t>(b.imag());
}

// What the baseband makes of `input` at `rate`: the decimated samples, then per frame the power,
// every sliding average, the band's median and the peak, all as floats in a row.
std::vector<float> basebandTrace(const std::vector<float>& input, double rate)
{
    cwaudio::Decimator decimator(rate);
    cwaudio::DriftBank bank(decimator.outputRate());
    std::vector<float> trace;
    std::vector<float> work;
    std::size_t chunk = 37;
    for (std::size_t at = 0; at < input.size(); at += chunk, chunk = chunk * 7 % 5000 + 1) {
        work.clear();
        decimator.process(std::span(input).subspan(at, std::min(chunk, input.size() - at)), work);
        trace.insert(trace.end(), work.begin(), work.end());
        for (std::span<const float> rest(work); !rest.empty();) {
            bool frame = false;
            rest = rest.subspan(bank.push(rest, frame));
            if (!frame) {
                continue;
            }
            trace.insert(trace.end(), bank.recent(0).begin(), bank.recent(0).end());
            for (int r = 0; r < bank.rateCount(); ++r) {
                bank.appendSlow(r, 0, bank.bins() - 1, trace);
            }
            const int first = bank.bins() / 20;
            const int last = bank.bins() * 3 / 4;
            trace.push_back(bank.stillMedian(first, last));
            int bin = 0;
            trace.push_back(static_cast<float>(bank.peakIn(first, last, first + 30, first + 40, bin)));
            trace.push_back(static_cast<float>(bin));
        }
    }
    return trace;
}

} // namespace

void TestCwAudio::vectorPathsAgree_data()
{
    QTest::addColumn<double>("rate");
    QTest::newRow("48 kHz") << 48000.0;
    QTest::newRow("44.1 kHz") << 44100.0;
    QTest::newRow("96 kHz") << 96000.0;
    QTest::newRow("16 kHz") << 16000.0;
}

// The AVX code paths give what the baseline ones give, bit for bit.
void TestCwAudio::vectorPathsAgree()
{
    QFETCH(double, rate);
    cwaudio::allowAvx(true);
    if (!cwaudio::hasAvx()) {
        QSKIP("this processor has no AVX: there is only one path");
    }
    // A tone sweeping at 150 Hz/s through noise, and a steady one.
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    std::vector<float> input(static_cast<std::size_t>(3 * rate));
    for (std::size_t i = 0; i < input.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        input[i] = noise(random) +
            static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * (600 + 75 * t) * t) +
                0.2 * std::sin(2 * std::numbers::pi * 1900 * t));
    }
    const std::vector<float> vectorised = basebandTrace(input, rate);
    cwaudio::allowAvx(false);
    const std::vector<float> baseline = basebandTrace(input, rate);
    cwaudio::allowAvx(true);
    QCOMPARE(vectorised.size(), baseline.size());
    std::size_t firstDifferent = 0;
    while (firstDifferent < baseline.size() &&
        std::bit_cast<std::uint32_t>(vectorised[firstDifferent]) ==
            std::bit_cast<std::uint32_t>(baseline[firstDifferent])) {
        ++firstDifferent;
    }
    QCOMPARE(firstDifferent, baseline.size());
}

void TestCwAudio::toneFilterPair_data()
{
    QTest::addColumn<double>("toneA");
    QTest::addColumn<double>("toneB");
    QTest::newRow("different tones") << 700.0 << 1130.0;
    QTest::newRow("the same tone") << 900.0 << 900.0;
    QTest::newRow("one at 0 Hz") << 0.0 << 2500.0;
}

// Two filters pushed together give each what it gives pushed alone, bit for bit.
void TestCwAudio::toneFilterPair()
{
    QFETCH(double, toneA);
    QFETCH(double, toneB);
    const double rate = 8000.0;
    cwaudio::ToneFilter aloneA(rate);
    cwaudio::ToneFilter aloneB(rate);
    cwaudio::ToneFilter pairA(rate);
    cwaudio::ToneFilter pairB(rate);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> block;
    int blocks = 0;
    for (int piece = 0; blocks < 50; ++piece) {
        if (pairA.blockStart()) {
            // The tone moves between blocks, as a tracker's would.
            for (cwaudio::ToneFilter* filter : { &aloneA, &pairA }) {
                filter->setFrequency(toneA + blocks);
            }
            for (cwaudio::ToneFilter* filter : { &aloneB, &pairB }) {
                filter->setFrequency(toneB - 2.0 * blocks);
            }
        }
        block.resize(static_cast<std::size_t>(std::min(pairA.remaining(), 1 + piece % 17)));
        for (float& s : block) {
            s = sample(random);
        }
        std::complex<float> tickA;
        std::complex<float> tickB;
        std::complex<float> pairTickA;
        std::complex<float> pairTickB;
        const bool completeA = aloneA.push(block, tickA);
        const bool completeB = aloneB.push(block, tickB);
        const bool complete = cwaudio::ToneFilter::pushPair(pairA, pairB, block, pairTickA, pairTickB);
        QCOMPARE(complete, completeA);
        QCOMPARE(complete, completeB);
        if (complete) {
            QVERIFY(sameBits(tickA, pairTickA));
            QVERIFY(sameBits(tickB, pairTickB));
            ++blocks;
        }
    }
}

void TestCwAudio::toneTracking_data()
{
    // A tone at 700 Hz for 4 s, then moving: swept (Doppler), stepped (a listener retuning) or
    // joined by a stronger station elsewhere, which is taken at once.
    QTest::addColumn<double>("rateHzPerSecond");
    QTest::addColumn<double>("stepHz");
    QTest::addColumn<double>("newLevel"); // a second tone, against the first (0: none)
    // Keyed (a dash, a dot) in noise this far under the tone in 2500 Hz; NaN: a steady tone alone.
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<double>("worstHz");
    const double clean = qQNaN();
    QTest::newRow("steady") << 0.0 << 0.0 << 0.0 << clean << 8.0;
    QTest::newRow("Doppler sweep 150 Hz/s up") << 150.0 << 0.0 << 0.0 << clean << 8.0;
    QTest::newRow("Doppler sweep 150 Hz/s down") << -150.0 << 0.0 << 0.0 << clean << 8.0;
    QTest::newRow("retuned 200 Hz up") << 0.0 << 200.0 << 0.0 << clean << 8.0;
    QTest::newRow("retuned 200 Hz down while drifting") << 30.0 << -200.0 << 0.0 << clean << 8.0;
    QTest::newRow("a much stronger station 400 Hz away") << 0.0 << 400.0 << 4.0 << clean << 8.0;
    // A 12 WPM dot, matched, loses 2.4 dB 5 Hz off the tone and 7 dB 8 Hz off.
    QTest::newRow("keyed at -6 dB, Doppler 30 Hz/s") << -30.0 << 0.0 << 0.0 << -6.0 << 3.0;
}

namespace {

// The signal `sample(t)` fed at 8 kHz for `seconds` to a tone tracker: how far its tone is from
// `truth(t)` where the signal path needs it (one lag behind the input, every 10 ms), at worst,
// over the times `judged(t)` accepts. Empty when it stays within `worstHz`.
template<typename Sample, typename Truth, typename Judged>
QString toneFollowed(double seconds, Sample sample, Truth truth, Judged judged, double worstHz = 8.0)
{
    constexpr double rate = 8000.0;
    constexpr std::int64_t every = 80;
    cwaudio::DriftBank bank(rate);
    cwaudio::ToneTracker tracker(bank);
    double worst = 0.0;
    double worstAt = 0.0;
    const auto total = static_cast<std::int64_t>(seconds * rate);
    for (std::int64_t i = 0; i < total; ++i) {
        if (!bank.push(static_cast<float>(sample(static_cast<double>(i) / rate)))) {
            continue;
        }
        tracker.update();
        const std::int64_t at = i + 1 - tracker.lagSamples();
        for (std::int64_t s = at; s < at + tracker.hop(); s += every) {
            const double t = static_cast<double>(s) / rate;
            if (!judged(t)) {
                continue;
            }
            const double error = std::abs(tracker.toneAt(s).followed - truth(t));
            if (error > worst) {
                worst = error;
                worstAt = t;
            }
        }
    }
    return worst < worstHz ? QString() : u"off by %1 Hz at %2 s"_s.arg(worst).arg(worstAt);
}

} // namespace

void TestCwAudio::toneTracking()
{
    QFETCH(double, rateHzPerSecond);
    QFETCH(double, stepHz);
    QFETCH(double, newLevel);
    QFETCH(double, snrDb);
    QFETCH(double, worstHz);
    constexpr double rate = 8000.0;
    constexpr double change = 4.0;
    std::mt19937 random(7);
    // Noise over the whole 4 kHz band, `snrDb` under the tone's power in 2500 Hz of it.
    std::normal_distribution<double> noise(
        0.0, std::sqrt(0.005 / std::pow(10.0, snrDb / 10.0) * 4000.0 / 2500.0));
    const auto keyed = [](double t) {
        return std::fmod(t, 0.6) < 0.3 || (std::fmod(t, 0.6) >= 0.4 && std::fmod(t, 0.6) < 0.5);
    };
    // The tone the signal path needs at a sample: the first tone until the change, then the new one.
    const auto truth = [&](double t) {
        // Keyed, the tone sweeps throughout, as a pass's Doppler does.
        if (t < change && qIsNaN(snrDb)) {
            return 700.0;
        }
        return 700.0 + stepHz + rateHzPerSecond * (t - change);
    };
    double phase = 0.0;
    double otherPhase = 0.0;
    const auto sample = [&](double t) {
        if (newLevel > 0.0 && t >= change) {
            // The first tone stays; the stronger one appears beside it.
            phase += 2 * std::numbers::pi * 700.0 / rate;
            otherPhase += 2 * std::numbers::pi * (700.0 + stepHz) / rate;
            return 0.1 * std::sin(phase) + 0.1 * newLevel * std::sin(otherPhase);
        }
        phase += 2 * std::numbers::pi * truth(t) / rate;
        if (!qIsNaN(snrDb)) {
            return (keyed(t) ? 0.1 * std::sin(phase) : 0.0) + noise(random);
        }
        return 0.1 * std::sin(phase);
    };
    // From 1.5 s on, and not within a second after the change, where the new tone is still sought.
    const QString off = toneFollowed(
        8.0, sample, truth, [&](double t) { return t >= 1.5 && (t < change - 0.1 || t >= change + 1.0); },
        worstHz);
    QVERIFY2(off.isEmpty(), qPrintable(off));
}

void TestCwAudio::driftFit_data()
{
    // Estimates of a tone falling 30 Hz/s, 32 ms apart, each 2 Hz off either way in turn.
    QTest::addColumn<int>("estimates");
    QTest::addColumn<double>("pauseSeconds"); // none after them for this long
    QTest::addColumn<double>("strayHz"); // the last one this far off, as weak as the noise
    QTest::addColumn<double>("rate"); // NaN: not measured yet
    QTest::newRow("two seconds") << 62 << 0.0 << 0.0 << -30.0;
    QTest::newRow("too few") << 20 << 0.0 << 0.0 << qQNaN();
    QTest::newRow("three seconds, then a pause of 1.5 s") << 94 << 1.5 << 0.0 << -30.0;
    QTest::newRow("forgotten after a pause of 4 s") << 94 << 4.0 << 0.0 << qQNaN();
    QTest::newRow("a weak stray estimate 300 Hz off") << 62 << 0.0 << 300.0 << -30.0;
}

void TestCwAudio::driftFit()
{
    QFETCH(int, estimates);
    QFETCH(double, pauseSeconds);
    QFETCH(double, strayHz);
    QFETCH(double, rate);
    constexpr double hop = 0.032;
    cwaudio::DriftFit fit(3.0);
    for (int i = 0; i < estimates; ++i) {
        fit.age(hop);
        fit.add(900.0 - 30.0 * hop * i + (i % 2 == 0 ? 2.0 : -2.0), 100.0);
    }
    if (strayHz != 0.0) {
        fit.age(hop);
        fit.add(900.0 - 30.0 * hop * estimates + strayHz, 1.0);
    }
    fit.age(pauseSeconds);
    const std::optional<double> measured = fit.rate(30.0);
    QCOMPARE(measured.has_value(), !qIsNaN(rate));
    if (measured) {
        QVERIFY2(std::abs(*measured - rate) < 1.0, qPrintable(QString::number(*measured)));
    }
}

void TestCwAudio::toneThroughJump_data()
{
    QTest::addColumn<double>("rateHzPerSecond");
    QTest::addColumn<double>("stepHz"); // retuned at 6 s, inside a mark
    QTest::addColumn<double>("againHz"); // and again a second later, before the first is filtered
    QTest::newRow("retuned 250 Hz down") << 0.0 << -250.0 << 0.0;
    QTest::newRow("retuned 1800 Hz up") << 0.0 << 1800.0 << 0.0;
    QTest::newRow("20 Hz/s up, retuned 150 Hz up") << 20.0 << 150.0 << 0.0;
    QTest::newRow("retuned 300 Hz up, then 600 Hz down") << 0.0 << 300.0 << -600.0;
}

void TestCwAudio::toneThroughJump()
{
    QFETCH(double, rateHzPerSecond);
    QFETCH(double, stepHz);
    QFETCH(double, againHz);
    constexpr double rate = 8000.0;
    constexpr double jumpAt = 6.03; // 30 ms into the mark keyed from 6.0 s
    constexpr double againAt = 7.1; // in a gap
    // Dots and dashes of 60 ms units, the tone moving all the while.
    const auto keyed = [](double t) {
        const auto unit = static_cast<int>(t / 0.06);
        return unit % 8 < 3 || unit % 8 == 4;
    };
    const auto truth = [&](double t) {
        return 700.0 + rateHzPerSecond * t + (t >= jumpAt ? stepHz : 0.0) + (t >= againAt ? againHz : 0.0);
    };
    // Noise 20 dB under the tone in 2500 Hz: a floor for the tracker to read tones against.
    std::mt19937 generator(7);
    std::normal_distribution<double> noise(0.0, 0.009);
    double phase = 0.0;
    const auto sample = [&](double t) {
        phase += 2 * std::numbers::pi * truth(t) / rate;
        return (keyed(t) ? 0.1 * std::sin(phase) : 0.0) + noise(generator);
    };
    // On keyed samples from 1.5 s on, those 20 ms and more either side of the jump included, so each
    // side must have its own tone.
    const QString off = toneFollowed(
        9.0, sample, truth, [&](double t) { return t >= 1.5 && keyed(t) && std::abs(t - jumpAt) >= 0.02; });
    QVERIFY2(off.isEmpty(), qPrintable(off));
}

void TestCwAudio::gapPeaks_data()
{
    QTest::addColumn<int>("dotAt"); // ticks into the gap, or -1 for none
    QTest::addColumn<bool>("head");
    QTest::addColumn<bool>("tail");
    QTest::addColumn<bool>("peak");
    QTest::newRow("empty gap: the ramps of the marks around it do not count")
        << -1 << false << false << false;
    QTest::newRow("weak dot right after the mark") << 10 << true << false << true;
    QTest::newRow("weak dot right before the next mark") << 40 << false << true << true;
}

// A weak dot (below the threshold) inside a long gap shows in the gap's peaks where it was sent.
void TestCwAudio::gapPeaks()
{
    QFETCH(int, dotAt);
    QFETCH(bool, head);
    QFETCH(bool, tail);
    QFETCH(bool, peak);
    constexpr int dot = 10;
    constexpr int gap = 60;
    cwaudio::KeyingDetector detector(200.0);
    detector.setDotTicks(dot);
    // A noise floor under which the weak dot stays, however the threshold follows the keying.
    detector.setNoise(0.18, 1);
    std::vector<cwaudio::KeyRun> runs;
    const auto feed = [&](int ticks, float amplitude) {
        for (int i = 0; i < ticks; ++i) {
            if (const auto run = detector.push({ amplitude, 0.0f })) {
                runs.push_back(*run);
            }
        }
    };
    // Dots on either side, enough for the levels.
    const auto dots = [&](int count) {
        for (int i = 0; i < count; ++i) {
            feed(dot, 1.0f);
            feed(dot, 0.0f);
        }
    };
    dots(30);
    feed(dot, 1.0f);
    if (dotAt < 0) {
        feed(gap, 0.0f);
    } else {
        feed(dotAt, 0.0f);
        feed(dot, 0.3f);
        feed(gap - dotAt - dot, 0.0f);
    }
    dots(30);
    for (const cwaudio::KeyRun& run : detector.flush()) {
        runs.push_back(run);
    }
    const auto it =
        std::ranges::find_if(runs, [](const cwaudio::KeyRun& r) { return !r.mark && r.length > 3 * dot; });
    QVERIFY(it != runs.end());
    QVERIFY(std::abs(it->length - gap) <= 2.0);
    QVERIFY2((it->head > 0.5) == head, qPrintable(QString::number(it->head)));
    QVERIFY2((it->tail > 0.5) == tail, qPrintable(QString::number(it->tail)));
    QVERIFY2((it->peak > 0.5) == peak, qPrintable(QString::number(it->peak)));
    QVERIFY(it->head < 1.0 && it->tail < 1.0 && it->peak < 1.0);
}

void TestCwAudio::findBeacon_data()
{
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("expected");
    // Searched at the loose acceptance the lanes use, where the ticks decide the characters.
    QTest::addColumn<bool>("loose");

    QTest::newRow("clean") << u"TARNUPQ8CQCG4XGG4DZ"_s << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("in groups") << u"TARNUP Q8CQ CG4X GG4D Z"_s << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("after other text")
        << u"CQ CQ DE TARNUPQ8CQCG4XGG4DZ"_s << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("digit at 14") << u"TARNUPDDDDDDD9DDDDD"_s << u"TARNUPDDDDDDD9DDDDD"_s << false;
    QTest::newRow("prefix dot lost") << u"TARN~UPQ8CQCG4XGG4DZ"_s << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("prefix dot lost before a word space")
        << u"TARNU~P Q8CQ CG4X GG4D Z"_s << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("dash broken by a dropout")
        << u"TARNUPQ8C/QCG4XGG4DZ"_s << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("prefix dash broken by a dropout")
        << u"TARNU/PQ8CQCG4XGG4DZ"_s << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("letter outside the level alphabet") << u"TARNUPQ8CQCG4XGG4DA"_s << QString() << false;
    QTest::newRow("18 characters") << u"TARNUPQ8CQCG4XGG4D"_s << QString() << false;
    QTest::newRow("20 characters") << u"TARNUPQ8CQCG4XGG4DZD"_s << QString() << false;
    QTest::newRow("other prefix") << u"TARNIPQ8CQCG4XGG4DZ"_s << QString() << false;
    QTest::newRow("prefix alone") << u"TARNUP"_s << QString() << false;
    QTest::newRow("last element after a pause") << u"TARNUPQ8CQCG4XGG4DN_E"_s << QString() << true;
}

void TestCwAudio::findBeacon()
{
    QFETCH(QString, sent);
    QFETCH(QString, expected);
    const double dot = 12.0;
    const auto marks = marksFor(sent.toStdString(), dot);
    QFETCH(bool, loose);
    const cwaudio::Acceptance acceptance = loose ? cwaudio::Acceptance { 25.0, 0.0 } : cwaudio::Acceptance {};
    const auto found = cwaudio::findBeacon(marks, 10 * dot, {}, cwaudio::speedRangeFor(200.0), acceptance);
    QCOMPARE(found ? QString::fromStdString(found->text) : QString(), expected);
    if (!found) {
        return;
    }
    QVERIFY2(std::abs(found->timing.dot - dot) < 0.1 * dot, qPrintable(QString::number(found->timing.dot)));
    const QString before = sent.left(sent.indexOf(u"TARN"_s));
    QCOMPARE(found->firstMark, marksFor(before.toStdString(), dot).size());
    for (const double c : found->confidence) {
        QVERIFY(c >= 0.0 && c <= 1.0);
        QVERIFY2(c > 0.9 || sent.contains(u'~') || sent.contains(u'/'), qPrintable(QString::number(c)));
    }
}

void TestCwAudio::decodeSignal_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("wpm");
    QTest::addColumn<double>("snr");
    QTest::addColumn<double>("startHz");
    QTest::addColumn<double>("drift");
    QTest::addColumn<double>("levelDb");
    QTest::addColumn<double>("lead");
    QTest::addColumn<bool>("grouped");

    QTest::newRow("high snr 12 wpm") << 8000.0 << 12.0 << 20.0 << 700.0 << 0.0 << 0.0 << 1.0 << false;
    QTest::newRow("high snr 18 wpm") << 8000.0 << 18.0 << 20.0 << 1200.0 << 0.0 << 0.0 << 1.0 << false;
    QTest::newRow("high snr 25 wpm") << 8000.0 << 25.0 << 20.0 << 400.0 << 0.0 << 0.0 << 1.0 << false;
    QTest::newRow("moderate snr 12 wpm") << 8000.0 << 12.0 << 0.0 << 900.0 << 0.0 << 0.0 << 1.0 << false;
    QTest::newRow("moderate snr 18 wpm") << 8000.0 << 18.0 << 0.0 << 600.0 << 0.0 << 0.0 << 1.0 << false;
    QTest::newRow("moderate snr 25 wpm") << 8000.0 << 25.0 << 0.0 << 1000.0 << 0.0 << 0.0 << 1.0 << false;
    QTest::newRow("drift up 300 Hz") << 8000.0 << 18.0 << 6.0 << 500.0 << 300.0 << 0.0 << 1.0 << false;
    QTest::newRow("drift down 300 Hz") << 8000.0 << 18.0 << 6.0 << 1400.0 << -300.0 << 0.0 << 1.0 << false;
    QTest::newRow("level 30 dB lower") << 8000.0 << 18.0 << 10.0 << 800.0 << 0.0 << -30.0 << 1.0 << false;
    QTest::newRow("beacon right at the start")
        << 8000.0 << 18.0 << 10.0 << 800.0 << 0.0 << 0.0 << 0.0 << false;
    QTest::newRow("sent in groups") << 8000.0 << 18.0 << 10.0 << 800.0 << 0.0 << 0.0 << 1.0 << true;
    QTest::newRow("44.1 kHz") << 44100.0 << 18.0 << 10.0 << 800.0 << 0.0 << 0.0 << 1.0 << false;
    QTest::newRow("12 kHz") << 12000.0 << 25.0 << 10.0 << 800.0 << 0.0 << 0.0 << 1.0 << false;
}

void TestCwAudio::decodeSignal()
{
    QFETCH(double, rate);
    QFETCH(double, wpm);
    QFETCH(double, snr);
    QFETCH(double, startHz);
    QFETCH(double, drift);
    QFETCH(double, levelDb);
    QFETCH(double, lead);
    QFETCH(bool, grouped);

    cwsynth::SignalParams p;
    p.sampleRate = rate;
    p.wpm = wpm;
    p.snrDb = snr;
    p.startHz = startHz;
    p.driftHz = drift;
    p.amplitude *= std::pow(10.0, levelDb / 20);
    p.leadSeconds = lead;
    p.seed = static_cast<std::uint64_t>(wpm * 1000 + startHz);
    std::vector<std::string> texts = randomBeacons(p.seed, 2);
    if (grouped) {
        for (std::string& t : texts) {
            t = t.substr(0, 6) + ' ' + t.substr(6, 4) + ' ' + t.substr(10, 4) + ' ' + t.substr(14, 4) + ' ' +
                t.substr(18);
        }
    }
    cwsynth::Signal signal(p, texts);
    const Decoded out = decode(signal.renderAll(), rate);

    QCOMPARE(textsOf(out.beacons), textsOf(signal.sent()));
    for (std::size_t i = 0; i < out.beacons.size(); ++i) {
        const cwaudio::AudioBeacon& b = out.beacons[i];
        QVERIFY(beacon::isBeacon(b.text));
        QVERIFY2(std::abs(b.time - signal.sent()[i].start) < 0.2, qPrintable(QString::number(b.time)));
        QVERIFY2(std::abs(b.wpm - wpm) < 0.25 * wpm, qPrintable(QString::number(b.wpm)));
        for (const double c : b.confidence) {
            QVERIFY(c >= 0.0 && c <= 1.0);
        }
    }
    // The tone is measured where the last beacon ends; the drift is linear over the signal.
    if (!out.beacons.empty()) {
        QVERIFY2(std::abs(out.beacons.back().toneHz - (startHz + drift)) < 40.0,
            qPrintable(QString::number(out.beacons.back().toneHz)));
    }
    QVERIFY2(out.text.find(texts.front().substr(0, 6)) != std::string::npos, out.text.c_str());
}

namespace {

// The channel the cases below start from: 8 kHz mono, the tone at 1100 Hz, 10 dB.
cwsynth::ChannelParams channelBase()
{
    cwsynth::ChannelParams base;
    base.sampleRate = 8000.0;
    base.channels = 1;
    base.snrDb = 10.0;
    base.toneHz = 1100.0;
    return base;
}

} // namespace

void TestCwAudio::channel_data()
{
    // One case per family of the channel model, at a comfortable SNR (18 WPM).
    QTest::addColumn<cwsynth::ChannelParams>("params");
    const cwsynth::ChannelParams base = channelBase();
    QTest::newRow("tone at 2600 Hz") << [&] {
        auto p = base;
        p.toneHz = 2600.0;
        return p;
    }();
    QTest::newRow("a station 6 dB stronger 300 Hz away") << [&] {
        auto p = base;
        p.other = true;
        p.otherOffsetHz = -300.0;
        p.otherDb = 6.0;
        return p;
    }();
    QTest::newRow("SSB receiver: band-pass and AGC") << [&] {
        auto p = base;
        p.receiver = true;
        return p;
    }();
    QTest::newRow("static crashes") << [&] {
        auto p = base;
        p.impulsesPerSecond = 1.0;
        return p;
    }();
    // A crash just after the last beacon lifts every bin of the spectrum at once: no tone came up
    // elsewhere to carry the last character's keying away.
    QTest::newRow("static crashes, 0 dB") << [&] {
        auto p = base;
        p.snrDb = 0.0;
        p.impulsesPerSecond = 1.0;
        p.seed = 2;
        return p;
    }();
    // A listener retuning every few seconds. Seed 39 lost a beacon while the tone followed after
    // a jump ran through the estimates filled in back to it.
    QTest::newRow("retuning, 0 dB") << [&] {
        auto p = base;
        p.snrDb = 0.0;
        p.retuneSeconds = 3.0;
        p.seed = 39;
        return p;
    }();
    // Nulls 20 dB deep every 1.5-4 s fall inside the beacons: every character is still read, at
    // the SNR (averaged over the fade) where most beacons must come through.
    QTest::newRow("spin fading, 6 dB") << [&] {
        auto p = base;
        p.snrDb = 6.0;
        p.spinNullDb = 20.0;
        return p;
    }();
    // A null cuts the second dash of a C (-.-.) in the first beacon into two dots: the marks read
    // 6 (-....), sure of it, where the ticks read the dash.
    QTest::newRow("spin fading, 6 dB, a dash cut in two") << [&] {
        auto p = base;
        p.snrDb = 6.0;
        p.spinNullDb = 20.0;
        p.seed = 25;
        return p;
    }();
}

namespace {

// Beacons keyed by hand at 18 WPM through `params`, with other traffic beside them: two, 1.5-3 s
// apart, or three with the beacon's own pauses of 10-15 s between them.
struct ChannelHeard
{
    QStringList sent;
    QStringList heard;
};

ChannelHeard hearChannel(const cwsynth::ChannelParams& params, bool paused = false)
{
    std::mt19937_64 random(params.seed + 5);
    const cwsynth::HandKeying hand { 18.0, 0.1, 1.0, paused ? 10.0 : 1.5, paused ? 15.0 : 3.0 };
    const std::vector<std::string> texts = randomBeacons(41, paused ? 3 : 2);
    const cwsynth::Envelope beacon = cwsynth::envelopeOf(cwsynth::keyByHand(hand, texts, random), 0.005, 1.5);
    // Other traffic: words that hold no beacon.
    const cwsynth::HandKeying op { 24.0, 0.05, 0.2, 0.5, 1.0 };
    const cwsynth::Envelope other = cwsynth::envelopeOf(
        cwsynth::keyByHand(op, std::vector<std::string>(12, "CQ CQ DE DL1ABC DL1ABC K"), random), 0.004, 0.0);
    cwsynth::Channel model(params, beacon, &other);
    std::vector<float> samples(static_cast<std::size_t>(model.totalFrames()));
    model.render(samples);
    return { textsOf(beacon.sent), textsOf(decode(samples, params.sampleRate).beacons) };
}

} // namespace

void TestCwAudio::channel()
{
    QFETCH(cwsynth::ChannelParams, params);
    const ChannelHeard out = hearChannel(params);
    QCOMPARE(out.heard, out.sent);
}

void TestCwAudio::besideStation_data()
{
    // At 0 dB, beside another station. The lane that held the beacon must keep it.
    QTest::addColumn<double>("offsetHz");
    QTest::addColumn<double>("otherDb");
    QTest::addColumn<int>("seed");
    // In the beacon's pause its lane wanders off, and comes back as the beacon begins again; the
    // station's lane, its station keying less for a moment, moves onto the beacon too.
    QTest::newRow("6 dB stronger: the station's lane moving onto the beacon just begun again")
        << -300.0 << 6.0 << 1134;
    // The first lane is on the station as the first beacon begins; the station pauses, and that
    // lane comes over to the beacon, which the second lane has read for a few seconds already.
    QTest::newRow("equal: the first lane coming over to a beacon the second has read from its start")
        << 150.0 << 0.0 << 1;
}

void TestCwAudio::besideStation()
{
    QFETCH(double, offsetHz);
    QFETCH(double, otherDb);
    QFETCH(int, seed);
    cwsynth::ChannelParams params = channelBase();
    params.snrDb = 0.0;
    params.other = true;
    params.otherOffsetHz = offsetHz;
    params.otherDb = otherDb;
    params.seed = static_cast<std::uint64_t>(seed);
    const ChannelHeard out = hearChannel(params, true);
    QCOMPARE(out.heard, out.sent);
}

void TestCwAudio::spinRightOrNone_data()
{
    // Nulls 20 dB deep every 1.5-4 s; `found`: at least this many of the two beacons.
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("found");
    // Q read as Z, by the marks (0.89) and the ticks (0.98), but a guess read a little lower.
    QTest::newRow("6 dB, a character that holds only at the level drawn across a null") << 6.0 << 1450 << 1;
    // C read as 6 by the ticks alone, 0.94 sure in a fade, the marks past their cost and unsure.
    QTest::newRow("3 dB, a character the ticks alone read in a fade") << 3.0 << 1797 << 0;
}

void TestCwAudio::spinRightOrNone()
{
    QFETCH(double, snrDb);
    QFETCH(int, seed);
    QFETCH(int, found);
    cwsynth::ChannelParams params = channelBase();
    params.snrDb = snrDb;
    params.spinNullDb = 20.0;
    params.seed = static_cast<std::uint64_t>(seed);
    const ChannelHeard out = hearChannel(params);
    for (const QString& beacon : out.heard) {
        QVERIFY2(out.sent.contains(beacon), qPrintable(beacon));
    }
    QVERIFY(out.heard.size() >= found);
}

void TestCwAudio::passRightOrNone_data()
{
    // Three beacons near closest approach of a 145.8 MHz pass at 30 degrees, the listener keeping
    // the tone within 400-2600 Hz by retuning, or (`spin`) two in 20 dB nulls every 1.5-4 s: single
    // seeds of bench/beacon_sweep. `found`: how many of them come through.
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<double>("wpm");
    QTest::addColumn<int>("seed");
    QTest::addColumn<bool>("spin");
    QTest::addColumn<int>("found");
    // Dated to a block, a retuning left the filter a dozen hertz off the new tone for a few hops:
    // the middle of N's dash came out silent, and marks and ticks read S. Dated better, the marks
    // still read S, sure as timing goes; the ticks N, overwhelmingly.
    QTest::newRow("a dash filtered off a retuned tone") << 0.0 << 12.0 << 144 << false << 3;
    // Retuned within the last character, whose last dots went on elsewhere: a noise mark after the
    // beacon's pause was taken for them, the pause for a space inside the character (6 read as D).
    QTest::newRow("a pause framed inside the last character") << 0.0 << 18.0 << 137 << false << 2;
    // A null took C's first dash: the ticks read F, sure, but only a guess a little lower; the
    // character itself was not in the fade.
    QTest::newRow("beside a null, sure only at the level drawn") << 6.0 << 18.0 << 1914 << true << 1;
    // The first dash of an 8 at the edge of a null, 9 dB under the dots before it: read at their
    // level it broke in two, and both beacons were lost.
    QTest::newRow("a dash at a null's edge, read at its own level") << 6.0 << 12.0 << 1031 << true << 2;
    // A null faded the middle of a dash, and marks and ticks alike read two dots (an H for an R):
    // the tone still showed between them.
    QTest::newRow("two dots with the tone between them") << 6.0 << 12.0 << 1322 << true << 1;
    // The marks lost the last dot of an 8 and took the space it left for the pause after a beacon;
    // the ticks, which keep the dot, had not come in far enough to hear the Z sent after it.
    QTest::newRow("a beacon's end read before the ticks after it") << -8.0 << 25.0 << 15 << false << 1;
    // Retuned in the middle of the last character (the tone left the passband), whose last dot
    // went on 1800 Hz higher: neither lane followed it there, and marks and ticks read G for Z.
    QTest::newRow("the last dot keyed after a retuning") << 0.0 << 25.0 << 482 << false << 2;
    // The same 1.5 s before the input ends (6 read as D): read while the end of the input went
    // through, the beacon was placed where the signal path had stood before that.
    QTest::newRow("retuned in the last character at the end of the input")
        << 0.0 << 18.0 << 205 << false << 2;
    // The first beacon a second into the input, its first dash read 11 dB under the rest while the
    // filter settled on the tone: at that level noise before it scored as a dot.
    QTest::newRow("quiet before a first mark read faint") << 0.0 << 12.0 << 21 << false << 3;
}

void TestCwAudio::passRightOrNone()
{
    QFETCH(double, snrDb);
    QFETCH(double, wpm);
    QFETCH(int, seed);
    QFETCH(bool, spin);
    QFETCH(int, found);
    const cwsynth::SweepRecording r =
        cwsynth::renderSweep({ snrDb, wpm, spin }, static_cast<std::uint64_t>(seed));
    QStringList sent;
    for (const std::string& text : r.sent) {
        sent.append(QString::fromStdString(text));
    }
    const QStringList heard = textsOf(decode(r.samples, r.sampleRate).beacons);
    for (const QString& text : heard) {
        QVERIFY2(sent.contains(text), qPrintable(text));
    }
    QCOMPARE(heard.size(), found);
}

void TestCwAudio::jumpDating_data()
{
    // Keyed in 60 ms units from 1 s: a dash over 1.92-2.10 s, a dot over 2.16-2.22 s, a gap to 2.40 s.
    QTest::addColumn<double>("jumpAt");
    QTest::addColumn<double>("datedAt"); // where the spectrum put it
    QTest::addColumn<double>("phaseStep"); // of the signal at the jump
    QTest::addColumn<bool>("otherStation"); // both tones keyed throughout: a change of station
    QTest::addColumn<double>("earliest"); // where the date must fall, and whether sure
    QTest::addColumn<double>("latest");
    QTest::addColumn<bool>("sure");
    QTest::newRow("retuned inside a dash, dated 100 ms early")
        << 2.07 << 1.97 << 1.0 << false << 2.065 << 2.075 << true;
    QTest::newRow("retuned inside a dash, dated 150 ms late")
        << 2.0 << 2.15 << -2.0 << false << 1.995 << 2.005 << true;
    QTest::newRow("retuned in a gap") << 2.3 << 2.35 << 0.0 << false << 2.22 << 2.40 << true;
    QTest::newRow("another station, keyed all along") << 2.07 << 1.97 << 0.0 << true << 1.97 << 1.97 << false;
}

void TestCwAudio::jumpDating()
{
    QFETCH(double, jumpAt);
    QFETCH(double, datedAt);
    QFETCH(double, phaseStep);
    QFETCH(bool, otherStation);
    QFETCH(double, earliest);
    QFETCH(double, latest);
    QFETCH(bool, sure);
    constexpr double rate = 8000.0;
    constexpr double oldHz = 700.0;
    constexpr double newHz = 900.0;
    const auto keyed = [](double t) {
        const auto unit = static_cast<int>(t / 0.06);
        return t >= 1.0 && (unit % 8 < 3 || unit % 8 == 4);
    };
    // Noise 20 dB under the tone in 2500 Hz.
    std::mt19937 generator(11);
    constexpr double sigma = 0.009;
    std::normal_distribution<double> noise(0.0, sigma);
    std::vector<float> samples;
    double phase = 0.0;
    double otherPhase = 0.0;
    for (int i = 0; i < static_cast<int>(3.0 * rate); ++i) {
        const double t = i / rate;
        const bool after = t >= jumpAt;
        if (after && t - 1.0 / rate < jumpAt) {
            phase += phaseStep;
        }
        phase += 2 * std::numbers::pi * (after && !otherStation ? newHz : oldHz) / rate;
        otherPhase += 2 * std::numbers::pi * newHz / rate;
        double x = keyed(t) ? 0.1 * std::sin(phase) : 0.0;
        if (otherStation && keyed(t + 0.03)) {
            x += 0.1 * std::sin(otherPhase);
        }
        samples.push_back(static_cast<float>(x + noise(generator)));
    }
    cwaudio::JumpAround around;
    around.samples = { samples, 0, 0 };
    around.first = static_cast<std::int64_t>(1.2 * rate);
    around.last = static_cast<std::int64_t>(2.8 * rate);
    around.block = 40;
    around.sampleRate = rate;
    around.dated = std::llround(datedAt * rate);
    around.oldHz = [](std::int64_t) { return oldHz; };
    around.newHz = [](std::int64_t) { return newHz; };
    around.noiseVariance = sigma * sigma;
    const cwaudio::DatedJump jump = cwaudio::dateJump(around);
    QVERIFY2(jump.at >= std::llround(earliest * rate) && jump.at <= std::llround(latest * rate),
        qPrintable(QString::number(static_cast<double>(jump.at) / rate)));
    QCOMPARE(jump.sure, sure);
    // Inside a mark, the turn takes out the step the signal's phase made there.
    if (keyed(jumpAt) && !otherStation) {
        QVERIFY(jump.turn.has_value());
        QVERIFY2(std::abs(std::arg(*jump.turn * std::polar(1.0, phaseStep))) < 0.2,
            qPrintable(QString::number(std::arg(*jump.turn))));
    }
}

void TestCwAudio::impulseBlanker_data()
{
    // Over noise of 0.01 RMS at 8 kHz: keyed tones (60 ms units, 5 ms edges) and a static crash.
    QTest::addColumn<double>("toneLevel"); // peak, both tones (0: none)
    QTest::addColumn<double>("otherHz"); // a second station's tone (0: none)
    QTest::addColumn<double>("crashLevel"); // peak, dying away in 1 ms (0: none)
    QTest::addColumn<double>("crashAt");
    QTest::newRow("a tone 20 dB over the noise in 2500 Hz") << 0.14 << 0.0 << 0.0 << 0.0;
    QTest::newRow("two stations beating") << 0.05 << 850.0 << 0.0 << 0.0;
    QTest::newRow("a crash 30 dB over the noise, between marks") << 0.014 << 0.0 << 0.3 << 1.2;
    QTest::newRow("a crash 35 dB over the noise, on a mark") << 0.014 << 0.0 << 0.56 << 1.05;
}

void TestCwAudio::impulseBlanker()
{
    QFETCH(double, toneLevel);
    QFETCH(double, otherHz);
    QFETCH(double, crashLevel);
    QFETCH(double, crashAt);
    constexpr double rate = 8000.0;
    std::mt19937 generator(5);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const auto edge = [](double t) {
        const double unit = std::fmod(t, 0.48); // a dash and a dot, then a gap
        const auto ramp = [](double x) {
            return x >= 0.005 ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * x / 0.005);
        };
        if (unit < 0.18) {
            return std::min(ramp(unit), ramp(0.18 - unit));
        }
        return unit >= 0.24 && unit < 0.3 ? std::min(ramp(unit - 0.24), ramp(0.3 - unit)) : 0.0;
    };
    std::vector<float> in;
    std::vector<float> crash;
    for (int i = 0; i < static_cast<int>(2.0 * rate); ++i) {
        const double t = i / rate;
        const double keyed = toneLevel * edge(t);
        double x = keyed * std::sin(2 * std::numbers::pi * 700.0 * t) + 0.01 * gauss(generator);
        if (otherHz > 0.0) {
            x += toneLevel * edge(t + 0.1) * std::sin(2 * std::numbers::pi * otherHz * t);
        }
        const double burst =
            t >= crashAt ? crashLevel * std::exp(-(t - crashAt) / 0.001) * gauss(generator) : 0.0;
        crash.push_back(static_cast<float>(burst));
        in.push_back(static_cast<float>(x + burst));
    }
    cwaudio::ImpulseBlanker blanker(rate);
    std::vector<float> out = in;
    for (std::size_t from = 0; from < out.size(); from += 333) {
        blanker.process(std::span<float>(out).subspan(from, std::min<std::size_t>(333, out.size() - from)));
    }
    const auto delay = static_cast<std::size_t>(blanker.delay());
    double crashEnergy = 0.0;
    double leftEnergy = 0.0;
    int changed = 0;
    for (std::size_t i = 0; i + delay < out.size(); ++i) {
        const bool inCrash =
            std::abs(static_cast<double>(i) / rate - crashAt - 0.005) < 0.007; // and the piece it began in
        if (!inCrash) {
            changed += out[i + delay] != in[i] ? 1 : 0;
            continue;
        }
        crashEnergy += static_cast<double>(crash[i]) * crash[i];
        const double left = out[i + delay] - (in[i] - crash[i]); // what remains of the crash
        leftEnergy += left * left;
    }
    // Away from a crash nothing is touched; of a crash, less than a tenth of its energy is left.
    QCOMPARE(changed, 0);
    if (crashLevel > 0.0) {
        QVERIFY2(leftEnergy < 0.1 * crashEnergy, qPrintable(QString::number(leftEnergy / crashEnergy)));
    }
}

// A listener retuning by 100-300 Hz every second or so turns a tone heard below the passband up
// into it, never further down, and then keeps it there.
void TestCwAudio::retuningListener()
{
    cwsynth::ChannelParams params;
    params.sampleRate = 8000.0;
    params.channels = 1;
    params.toneHz = 300.0;
    params.retuneSeconds = 1.0;
    std::mt19937_64 random(3);
    const cwsynth::Envelope beacon = cwsynth::envelopeOf(
        cwsynth::keyByHand({ 20.0, 0.1, 1.0, 1.5, 3.0 }, randomBeacons(5, 2), random), 0.005, 1.5);
    cwsynth::Channel model(params, beacon);
    std::vector<float> block(800);
    double lowest = params.toneHz;
    double last = params.toneHz;
    bool inBand = false;
    while (model.render(block) > 0) {
        last = model.toneHz();
        lowest = std::min(lowest, last);
        inBand = inBand || (last >= 500.0 && last <= 2500.0);
        QVERIFY2(!inBand || (last >= 500.0 && last <= 2500.0), qPrintable(QString::number(last)));
    }
    QCOMPARE(lowest, params.toneHz);
    QVERIFY(inBand);
}

// A crash a few milliseconds long, 30 dB over the keying, inside a long gap: no mark comes of it.
void TestCwAudio::clickIsNotMark()
{
    constexpr double rate = 8000.0;
    cwsynth::SignalParams p;
    p.sampleRate = rate;
    p.snrDb = 20.0;
    p.wpm = 18.0;
    cwsynth::Signal signal(p, { "EEEEE", "EEEEE" });
    std::vector<float> samples = signal.renderAll();
    // Into the pause between the two words, well clear of both.
    const auto from = static_cast<std::size_t>((signal.sent()[0].end + 0.5) * rate);
    const auto to = static_cast<std::size_t>((signal.sent()[1].start - 0.5) * rate);
    QVERIFY(to > from + 40);
    std::mt19937_64 random(3);
    std::normal_distribution<double> gauss;
    for (std::size_t i = (from + to) / 2, k = 0; k < 24; ++i, ++k) {
        samples[i] += static_cast<float>(2.5 * std::exp(-static_cast<double>(k) / 8.0) * gauss(random));
    }
    const Decoded out = decode(samples, rate);
    QCOMPARE(QString::fromStdString(out.text).simplified(), u"EEEEE EEEEE"_s);
}

// The status comes ten times a second of audio; a hint keeps the tone followed near it even with a
// stronger station elsewhere in the band.
void TestCwAudio::statusAndHint()
{
    constexpr double rate = 8000.0;
    cwsynth::ChannelParams params;
    params.sampleRate = rate;
    params.channels = 1;
    params.snrDb = 10.0;
    params.toneHz = 1500.0;
    params.other = true;
    params.otherOffsetHz = -700.0;
    params.otherDb = 10.0;
    std::mt19937_64 random(9);
    const cwsynth::HandKeying hand { 20.0, 0.1, 1.0, 1.5, 3.0 };
    const std::vector<std::string> texts = randomBeacons(17, 1);
    const cwsynth::Envelope beacon = cwsynth::envelopeOf(cwsynth::keyByHand(hand, texts, random), 0.005, 1.5);
    const cwsynth::Envelope other =
        cwsynth::envelopeOf(cwsynth::keyByHand({ 22.0, 0.05, 0.2, 0.3, 0.6 },
                                std::vector<std::string>(20, "TEST DE DL1ABC"), random),
            0.004, 0.0);
    cwsynth::Channel model(params, beacon, &other);
    std::vector<float> samples(static_cast<std::size_t>(model.totalFrames()));
    model.render(samples);

    std::vector<cwaudio::DecoderStatus> statuses;
    Decoded out;
    cwaudio::DecodeHandlers handlers = collectInto(out);
    handlers.status = [&](const cwaudio::DecoderStatus& s) { statuses.push_back(s); };
    cwaudio::CwDecoder decoder(rate, handlers);
    decoder.setToneHint(1450.0);
    decoder.feed(samples);
    decoder.finish();

    const double seconds = static_cast<double>(samples.size()) / rate;
    QVERIFY(std::abs(static_cast<double>(statuses.size()) - seconds * 10) <= 1.0);
    for (std::size_t k = 1; k < statuses.size(); ++k) {
        QVERIFY(std::abs(statuses[k].time - statuses[k - 1].time - 0.1) < 1e-6);
        if (statuses[k].time > 3.0) {
            QVERIFY(statuses[k].locked);
            QVERIFY2(std::abs(statuses[k].toneHz - 1500.0) < 20.0,
                qPrintable(QString::number(statuses[k].toneHz)));
        }
    }
    QVERIFY(statuses.back().wpm > 16.0 && statuses.back().wpm < 24.0);
    QCOMPARE(textsOf(out.beacons), textsOf(beacon.sent));
}

void TestCwAudio::noBeacon_data()
{
    QTest::addColumn<QString>("sent");
    QTest::addColumn<double>("snr");

    QTest::newRow("pure noise") << QString() << 0.0;
    QTest::newRow("prefix letter changed") << u"TARNUXQ8CQCG4XGG4DZ"_s << 20.0;
    QTest::newRow("one character short") << u"TARNUPQ8CQCG4XGG4D"_s << 20.0;
    QTest::newRow("one character long") << u"TARNUPQ8CQCG4XGG4DZZ"_s << 20.0;
    QTest::newRow("prefix only") << u"TARNUP"_s << 20.0;
    QTest::newRow("below any usable snr") << u"TARNUPQ8CQCG4XGG4DZ"_s << -25.0;
}

void TestCwAudio::noBeacon()
{
    QFETCH(QString, sent);
    QFETCH(double, snr);
    cwsynth::SignalParams p;
    p.snrDb = snr;
    std::vector<std::string> texts;
    if (!sent.isEmpty()) {
        texts.assign(2, sent.toStdString());
    }
    cwsynth::Signal signal = sent.isEmpty() ? cwsynth::Signal(p, 120.0) : cwsynth::Signal(p, texts);
    const Decoded out = decode(signal.renderAll(), p.sampleRate);
    QVERIFY2(out.beacons.empty(), qPrintable(textsOf(out.beacons).join(u' ')));
    if (snr > 10.0) {
        // The text itself still comes through.
        QVERIFY2(out.text.find(sent.toStdString()) != std::string::npos, out.text.c_str());
    }
}

void TestCwAudio::streaming_data()
{
    QTest::addColumn<std::size_t>("block");
    QTest::newRow("one sample") << std::size_t(1);
    QTest::newRow("odd blocks") << std::size_t(333);
    QTest::newRow("just over a chunk") << std::size_t(4097);
    QTest::newRow("large blocks") << std::size_t(100000);
}

void TestCwAudio::streaming()
{
    QFETCH(std::size_t, block);
    cwsynth::SignalParams p;
    p.snrDb = 3.0;
    p.wpm = 20.0;
    p.seed = 99;
    cwsynth::Signal signal(p, randomBeacons(7, 2));
    const std::vector<float> samples = signal.renderAll();
    const Decoded whole = decode(samples, p.sampleRate);
    const Decoded blocks = decode(samples, p.sampleRate, block);
    QCOMPARE(textsOf(whole.beacons), textsOf(signal.sent()));
    QCOMPARE(textsOf(blocks.beacons), textsOf(whole.beacons));
    for (std::size_t i = 0; i < whole.beacons.size(); ++i) {
        QCOMPARE(blocks.beacons[i].time, whole.beacons[i].time);
        QCOMPARE(blocks.beacons[i].confidence, whole.beacons[i].confidence);
    }
    QCOMPARE(blocks.text, whole.text);
}

void TestCwAudio::earlyReport_data()
{
    QTest::addColumn<double>("wpm");
    QTest::addColumn<std::uint64_t>("seed");
    QTest::newRow("12 WPM") << 12.0 << std::uint64_t(31);
    QTest::newRow("25 WPM grouped") << 25.0 << std::uint64_t(32);
}

// Live, a beacon is reported once the word space after it has come in, long before the full
// look-ahead (over two seconds) has passed, and not again when the lane's own reading gets to it.
void TestCwAudio::earlyReport()
{
    QFETCH(double, wpm);
    QFETCH(std::uint64_t, seed);
    cwsynth::SignalParams p;
    p.snrDb = 6.0;
    p.wpm = wpm;
    p.seed = seed;
    p.tailSeconds = 6.0;
    std::vector<std::string> texts = randomBeacons(seed, 1);
    const QStringList sent { QString::fromStdString(texts[0]) };
    if (wpm > 20.0) {
        const std::string& t = texts[0];
        texts[0] = t.substr(0, 6) + ' ' + t.substr(6, 4) + ' ' + t.substr(10, 4) + ' ' + t.substr(14, 4) +
            ' ' + t.substr(18);
    }
    cwsynth::Signal signal(p, texts);
    const std::vector<float> samples = signal.renderAll();
    const double end = signal.sent().at(0).end * p.sampleRate;
    const double dot = 1.2 / wpm * p.sampleRate;
    Decoded out;
    cwaudio::CwDecoder decoder(p.sampleRate, collectInto(out));
    decoder.setEarlyReports(true);
    std::size_t fed = 0;
    const auto feedUntil = [&](double sample) {
        while (fed < samples.size() && double(fed) < sample) {
            const std::size_t n = std::min<std::size_t>(1024, samples.size() - fed);
            decoder.feed(std::span<const float>(samples).subspan(fed, n));
            fed += n;
        }
    };
    // Two dots of quiet: the last character may not be over yet.
    feedUntil(end + 2.0 * dot - 1024.0);
    QVERIFY2(out.beacons.empty(), qPrintable(textsOf(out.beacons).join(u' ')));
    feedUntil(end + 1.5 * p.sampleRate);
    QCOMPARE(textsOf(out.beacons), sent);
    feedUntil(double(samples.size()));
    decoder.finish();
    QCOMPARE(textsOf(out.beacons), sent);
}

void TestCwAudio::audioFile_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::newRow("wav 16 bit mono") << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << 1 << 8000;
    QTest::newRow("wav float stereo 48 kHz") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 2 << 48000;
    QTest::newRow("flac 22.05 kHz") << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << 1 << 22050;
    QTest::newRow("ogg vorbis 11.025 kHz") << (SF_FORMAT_OGG | SF_FORMAT_VORBIS) << 1 << 11025;
}

void TestCwAudio::audioFile()
{
    QFETCH(int, format);
    QFETCH(int, channels);
    QFETCH(int, rate);
    cwsynth::SignalParams p;
    p.sampleRate = rate;
    p.snrDb = 10.0;
    p.seed = static_cast<std::uint64_t>(rate);
    cwsynth::Signal signal(p, randomBeacons(p.seed, 1));
    const std::vector<float> samples = signal.renderAll();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"signal"_s);
    QVERIFY(writeWav(path, samples, rate, channels, format));

    Decoded fromFile;
    const QString error = cwaudio::decodeAudioFile(path, collectInto(fromFile));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(textsOf(fromFile.beacons), textsOf(signal.sent()));
}

void TestCwAudio::rawStream()
{
    cwsynth::SignalParams p;
    p.sampleRate = 12000;
    p.snrDb = 10.0;
    p.seed = 5;
    cwsynth::Signal signal(p, randomBeacons(5, 2));
    const std::vector<float> samples = signal.renderAll();
    std::FILE* raw = std::tmpfile();
    QVERIFY(raw != nullptr);
    for (const float s : samples) {
        const auto v = static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
        const unsigned char bytes[2] = { static_cast<unsigned char>(v & 0xff),
            static_cast<unsigned char>((v >> 8) & 0xff) };
        std::fwrite(bytes, 1, 2, raw);
    }
    std::rewind(raw);
    Decoded out;
    const QString error = cwaudio::decodeRawStream(raw, p.sampleRate, u"-"_s, collectInto(out));
    std::fclose(raw);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(textsOf(out.beacons), textsOf(signal.sent()));
}

void TestCwAudio::badInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    QByteArray wav;
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"ok.wav"_s);
        writeWav(path, std::vector<float>(8000, 0.1f), 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        wav = f.readAll();
    }
    QByteArray ogg;
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"ok.ogg"_s);
        std::vector<float> tone(80000);
        for (std::size_t i = 0; i < tone.size(); ++i) {
            tone[i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 700.0 * double(i) / 8000.0));
        }
        writeWav(path, tone, 8000, 1, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        ogg = f.readAll();
    }
    QByteArray mp3InWav = wav;
    mp3InWav[20] = 0x55; // format tag: MPEG layer 3
    mp3InWav[21] = 0x00;

    QTest::newRow("empty file") << QByteArray() << u"empty"_s;
    QTest::newRow("truncated wav") << wav.left(wav.size() / 2) << u"truncated"_s;
    // Its length unknown to libsndfile: no count to compare with.
    QTest::newRow("truncated ogg") << ogg.left(ogg.size() / 2) << u"truncated after "_s;
    QTest::newRow("header only") << wav.left(44) << u"audio"_s;
    QTest::newRow("text file") << QByteArray("TARNUP Q8CQ CG4X GG4D Z\n") << u"audio"_s;
    QTest::newRow("unsupported wav encoding") << mp3InWav << u"audio"_s;
}

void TestCwAudio::badInput()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"bad input.wav"_s);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();

    Decoded out;
    const QString error = cwaudio::decodeAudioFile(path, collectInto(out));
    QVERIFY2(error.startsWith(path + u": "_s), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(out.beacons.empty());
    // A recording's start is worked back from its length: never one these few bytes cannot hold.
    // The Receiver reads the file itself: once at its end, the file gives the same reason.
    QString ignored;
    if (const auto file = cwaudio::AudioFile::open(path, &ignored)) {
        QVERIFY(file->seconds() < 60.0);
        std::vector<float> block(4096);
        while (file->read(block) != 0) { }
        QCOMPARE(file->error(), error);
    }
}

void TestCwAudio::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("rawInput");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("inOutput");
    QTest::addColumn<QString>("inErrors");

    QTest::newRow("text report") << QStringList { u"--audio"_s, u"good.wav"_s } << false << 0
                                 << QStringList { u"CW beacon: TARNUP"_s, u"Battery Voltage: "_s }
                                 << QString();
    QTest::newRow("json adds the measurements")
        << QStringList { u"--audio"_s, u"--format"_s, u"json"_s, u"good.wav"_s } << false << 0
        << QStringList { u"\"time\":1.0"_s, u"\"wpm\":"_s, u"\"tone_hz\":"_s, u"\"snr_db\":"_s,
               u"\"confidence\":["_s }
        << QString();
    QTest::newRow("bad file named, the others still decoded")
        << QStringList { u"--audio"_s, u"--format"_s, u"csv"_s, u"bad.wav"_s, u"good.wav"_s } << false << 2
        << QStringList { u"good.wav,1,TARNUP"_s } << u"tarnup-decode: bad.wav: "_s;
    QTest::newRow("morse text") << QStringList { u"--audio"_s, u"--morse-text"_s, u"good.wav"_s } << false
                                << 0 << QStringList { u"TARNUP"_s } << QString();
    QTest::newRow("silence has no beacon")
        << QStringList { u"--audio"_s, u"silence.wav"_s } << false << 1 << QStringList {} << QString();
    QTest::newRow("raw pcm from standard input")
        << QStringList { u"--audio"_s, u"-"_s, u"--rate"_s, u"8000"_s, u"--format"_s, u"csv"_s } << true << 0
        << QStringList { u"-,1,TARNUP"_s } << QString();
    QTest::newRow("raw pcm without a rate")
        << QStringList { u"--audio"_s, u"-"_s } << true << 2 << QStringList {} << u"--rate"_s;
}

void TestCwAudio::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, rawInput);
    QFETCH(int, exitCode);
    QFETCH(QStringList, inOutput);
    QFETCH(QString, inErrors);

    cwsynth::SignalParams p;
    p.snrDb = 10.0;
    p.seed = 3;
    cwsynth::Signal signal(p, randomBeacons(3, 1));
    const std::vector<float> samples = signal.renderAll();
    QTemporaryDir dir;
    QVERIFY(writeWav(dir.filePath(u"good.wav"_s), samples, 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    QVERIFY(writeWav(dir.filePath(u"silence.wav"_s), std::vector<float>(80000, 0.0f), 8000, 1,
        SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    QFile bad(dir.filePath(u"bad.wav"_s));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not audio at all\n");
    bad.close();

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(TARNUP_DECODE_EXE), arguments);
    QVERIFY(process.waitForStarted());
    if (rawInput) {
        QByteArray raw;
        for (const float s : samples) {
            const auto v = static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
            raw.append(static_cast<char>(v & 0xff)).append(static_cast<char>((v >> 8) & 0xff));
        }
        process.write(raw);
    }
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60000));
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    for (const QString& expected : inOutput) {
        QVERIFY2(output.contains(expected), qPrintable(output));
    }
    if (inOutput.isEmpty() && !arguments.contains(u"--morse-text"_s)) {
        QVERIFY2(!output.contains(u"TARNUP"_s), qPrintable(output));
    }
    QVERIFY2(errors.contains(inErrors), qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestCwAudio)
#include "tst_cwaudio.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "acceptance.h"
#include "beacon_finder.h"
#include "cw_audio.h"
#include "cw_synth.h"

#include <QStringList>
#include <QTest>

#include <cmath>
#include <map>
#include <numbers>
#include <random>

using namespace Qt::StringLiterals;

// A wrong beacon is worse than none: it goes out as telemetry. These signals are built sample by
// sample so that one character sits between two readings, in noise at the edge of what decodes;
// the decoder must give the beacon as sent or nothing, never another one.

namespace {

constexpr double sampleRate = 8000.0;
constexpr double toneHz = 700.0;
constexpr double amplitude = 0.08;
constexpr double edgeSeconds = 0.005;
constexpr double dot = 1.2 / 18.0; // seconds, at 18 WPM

// Sent first, clean, so that the decoder has found the tone and the speed.
constexpr std::string_view before = "TARNUPD2FCG8QXZ6Q4C";
// G (--.) at position 7: its second dash read as a dot makes it D (-..), its first dash read as
// two dots F (..-.), one dot more after it Z (--..); all three are level symbols.
constexpr std::string_view sent = "TARNUPGQ4C8Z6XD2FCG";
constexpr std::size_t oddPosition = 6;
// Noise seeds a signal is tried with.
constexpr int seeds = 4;

// The sent beacon as the marks read it, sure of every character.
cwaudio::FoundBeacon marksRead(double cost)
{
    cwaudio::FoundBeacon marks;
    marks.text = sent;
    marks.cost = cost;
    marks.confidence.fill(1.0);
    return marks;
}

// ...and as the ticks read it.
cwaudio::SoftBeacon ticksRead()
{
    cwaudio::SoftBeacon ticks;
    ticks.text = sent;
    ticks.confidence.fill(1.0);
    ticks.framed.fill(1.0);
    ticks.framedLower.fill(1.0);
    return ticks;
}

std::string_view morse(char c)
{
    static const std::map<char, std::string_view> codes { { 'T', "-" }, { 'A', ".-" }, { 'R', ".-." },
        { 'N', "-." }, { 'U', "..-" }, { 'P', ".--." }, { 'X', "-..-" }, { 'D', "-.." }, { 'F', "..-." },
        { '2', "..---" }, { 'G', "--." }, { '4', "....-" }, { 'C', "-.-." }, { '6', "-...." },
        { 'Q', "--.-" }, { '8', "---.." }, { 'Z', "--.." } };
    return codes.at(c);
}

enum Oddity {
    clean,
    halfway, // the second dash of G only 1.8 units long, nearly as near a dot as a dash
    hollowed, // a silent 0.3 unit in the middle of the first dash of G, as in a deep fade
    crash, // 10 ms of static one unit after G: broadband, many times the tone's amplitude
    weakDot, // the last dot of Z (--..) at position 12 faded to 0.6, below the keying threshold
    retuned, // the tone jumps 200 Hz up in the middle of the first dash of G, as a listener retunes
    // Q, C and the last G keyed as two characters each (M A, T R, T N): a full character space
    // where an element space belongs, so what was sent is no beacon at all. Also Q alone, and Q
    // and C.
    brokenOnce,
    brokenTwice,
    brokenApart,
    nulled, // one null of the signal, 20 dB deep and 0.3 s wide, at the end of G's first dash
    splitOpen, // one null as above in the middle of the first dash of X (-..-) at position 14
    retunedLast, // the tone jumps 100 Hz up after the first dash of the last G
    blipAfter, // a blip on the tone 14 dB under it, half a dot long, 2.5 units after the last G
};

// One null of a tumbling satellite's antenna pattern, turning half a turn a second (nulls 1 s
// apart): 20 dB deep, about 0.3 s wide at -6 dB.
struct Null
{
    double centre = -1.0; // seconds; none when negative
    double radiansPerSecond = std::numbers::pi;
    double depthDb = 20.0;

    double gain(double t) const
    {
        const double angle = radiansPerSecond * (t - centre);
        if (centre < 0.0 || std::abs(angle) >= std::numbers::pi / 2) {
            return 1.0;
        }
        const double floor = std::pow(10.0, -depthDb / 10.0);
        return std::sqrt(floor + (1.0 - floor) * std::sin(angle) * std::sin(angle));
    }
};

constexpr double retunedHz = toneHz + 200.0;

// How many characters `oddity` keys as two: Q, then C, then the last G.
int brokenPairs(Oddity oddity)
{
    return oddity == brokenOnce ? 1 : oddity == brokenTwice ? 2 : oddity == brokenApart ? 3 : 0;
}

bool brokenAfter(Oddity oddity, std::size_t position, std::size_t element)
{
    const int pairs = brokenPairs(oddity);
    return (pairs >= 1 && position == 7 && element == 1) || (pairs >= 2 && position == 9 && element == 0) ||
        (pairs >= 3 && position == 18 && element == 0);
}

// Tone from `on` to `off` (seconds); `crash` marks static instead.
struct Key
{
    double on;
    double off;
    bool crash = false;
    double level = 1.0;
    double hz = toneHz;
};

// Keys `text` from `t` with textbook timing and returns its end.
double keyText(std::vector<Key>& keys, double t, std::string_view text, Oddity oddity = clean)
{
    double hz = toneHz;
    for (std::size_t p = 0; p < text.size(); ++p) {
        const std::string_view code = morse(text[p]);
        for (std::size_t e = 0; e < code.size(); ++e) {
            const bool odd = p == oddPosition;
            if (odd && oddity == retuned && e == 0) {
                keys.push_back({ t, t + 1.5 * dot });
                hz = retunedHz;
                keys.push_back({ t + 1.5 * dot, t + 3.0 * dot, false, 1.0, hz });
                t += 3.0 * dot + dot;
                continue;
            }
            if (oddity == retunedLast && p + 1 == text.size() && e == 1) {
                hz = toneHz + 100.0;
            }
            double length = (code[e] == '-' ? 3.0 : 1.0) * dot;
            if (odd && oddity == halfway && e == 1) {
                length = 1.8 * dot;
            }
            if (odd && oddity == hollowed && e == 0) {
                keys.push_back({ t, t + 1.35 * dot });
                keys.push_back({ t + 1.65 * dot, t + length });
            } else {
                const bool faded = oddity == weakDot && p == 11 && e == 3;
                keys.push_back({ t, t + length, false, faded ? 0.6 : 1.0, hz });
            }
            t += length;
            if (odd && oddity == crash && e + 1 == code.size()) {
                keys.push_back({ t + dot, t + dot + 0.01, true });
            }
            if (oddity == blipAfter && p + 1 == text.size() && e + 1 == code.size()) {
                keys.push_back({ t + 2.5 * dot, t + 3.0 * dot, false, 0.2, hz });
            }
            const bool broken = brokenAfter(oddity, p, e);
            t += (e + 1 < code.size() && !broken ? 1.0 : 3.0) * dot;
        }
    }
    return t;
}

std::vector<float> render(
    const std::vector<Key>& keys, double seconds, double snrDb, std::uint64_t seed, const Null& null = {})
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> gauss;
    // SNR: key-down tone power over the noise power in 2500 Hz.
    const double noise =
        std::sqrt(amplitude * amplitude / 2 / std::pow(10.0, snrDb / 10) * (sampleRate / 2) / 2500.0);
    std::vector<float> samples(static_cast<std::size_t>(seconds * sampleRate));
    std::size_t key = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        while (key < keys.size() && keys[key].off <= t) {
            ++key;
        }
        double x = noise * gauss(random);
        if (key < keys.size() && keys[key].on <= t) {
            const Key& k = keys[key];
            const double in = std::min(t - k.on, k.off - t);
            const double envelope =
                in >= edgeSeconds ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * in / edgeSeconds);
            x += k.crash
                ? 6.0 * amplitude * gauss(random)
                : k.level * null.gain(t) * amplitude * envelope * std::sin(2 * std::numbers::pi * k.hz * t);
        }
        samples[i] = static_cast<float>(x);
    }
    return samples;
}

QStringList decode(const std::vector<float>& samples)
{
    QStringList beacons;
    cwaudio::DecodeHandlers handlers;
    handlers.beacon = [&beacons](const cwaudio::AudioBeacon& b) { beacons.append(b.text); };
    cwaudio::CwDecoder decoder(sampleRate, handlers);
    decoder.feed(samples);
    decoder.finish();
    return beacons;
}

struct Heard
{
    int first = 0;
    int second = 0;
    QStringList wrong;
};

// Both beacons, the second with `oddity`, over noise seeds `firstSeed` to `lastSeed`.
Heard hear(Oddity oddity, double snrDb, int firstSeed, int lastSeed)
{
    const QString first = QString::fromLatin1(before);
    const QString second = QString::fromLatin1(sent);
    Heard heard;
    for (int seed = firstSeed; seed <= lastSeed; ++seed) {
        std::vector<Key> keys;
        const double start = keyText(keys, 1.0, before) + 2.0;
        const std::size_t firstKey = keys.size();
        const double end = keyText(keys, start, sent, oddity);
        Null null;
        if (oddity == splitOpen) {
            std::size_t elements = 0;
            for (std::size_t p = 0; p + 1 < std::size_t(beacon::skippedPosition); ++p) {
                elements += morse(sent[p]).size();
            }
            const Key& dash = keys[firstKey + elements];
            null.centre = 0.5 * (dash.on + dash.off);
        }
        if (oddity == nulled) {
            std::size_t elements = 0;
            for (std::size_t p = 0; p < oddPosition; ++p) {
                elements += morse(sent[p]).size();
            }
            null.centre = keys[firstKey + elements].off - 0.75 * dot;
        }
        const QStringList beacons = decode(render(keys, end + 1.5, snrDb, std::uint64_t(seed), null));
        for (const QString& beacon : beacons) {
            if (beacon != first && beacon != second) {
                heard.wrong.append(u"%1 (seed %2)"_s.arg(beacon).arg(seed));
            }
        }
        heard.first += int(beacons.contains(first));
        heard.second += int(beacons.contains(second));
    }
    return heard;
}

} // namespace

class TestWrongBeacons : public QObject
{
    Q_OBJECT

private slots:
    void rightOrNone_data();
    void rightOrNone();
    void marginalNoise_data();
    void marginalNoise();
    void generatedNearFloor_data();
    void generatedNearFloor();
    void marksAcceptance_data();
    void marksAcceptance();
    void readingAcceptance_data();
    void readingAcceptance();
    void characterWitnesses_data();
    void characterWitnesses();
    void faintAcceptance_data();
    void faintAcceptance();
    void lowerLevelAcceptance_data();
    void lowerLevelAcceptance();
    void floorWitnesses_data();
    void floorWitnesses();
};

void TestWrongBeacons::rightOrNone_data()
{
    QTest::addColumn<int>("oddity");
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<int>("secondHeard"); // in how many of the seeds; -1: any
    QTest::addColumn<int>("onlySeed"); // 0: seeds 1 to `seeds`

    QTest::newRow("clean, 0 dB") << int(clean) << 0.0 << seeds << 0;
    for (const double snr : { 6.0, 0.0 }) {
        QTest::addRow("element halfway, %g dB", snr) << int(halfway) << snr << -1 << 0;
        QTest::addRow("dash hollowed, %g dB", snr) << int(hollowed) << snr << -1 << 0;
        QTest::addRow("static crash on a gap, %g dB", snr) << int(crash) << snr << -1 << 0;
        QTest::addRow("retuned inside a dash, %g dB", snr) << int(retuned) << snr << -1 << 0;
        // Deep in the null the end of the dash is gone from the ticks as from the marks: G and F
        // (..-.) are then alike, and the fade must not pass unnoticed.
        QTest::addRow("null at the end of a dash, %g dB", snr) << int(nulled) << snr << -1 << 0;
        // Every character reads clearly on its own; only the marks' timing shows the frame is wrong.
        QTest::addRow("one character broken apart, %g dB", snr) << int(brokenOnce) << snr << 0 << 0;
        QTest::addRow("two characters broken apart, %g dB", snr) << int(brokenTwice) << snr << 0 << 0;
        QTest::addRow("characters broken apart, %g dB", snr) << int(brokenApart) << snr << 0 << 0;
    }
    // Here the start of the dash keys as a dot only 2.8 dB under the characters' level, and a dot
    // read lost after it makes F: the ticks show nothing clear where that dot would have been.
    QTest::newRow("null at the end of a dash, 0 dB, noise seed 12") << int(nulled) << 0.0 << -1 << 12;
    // Position 14 is read without repairs: the dash cut in two by the null keys as two dots, and X
    // (-..-) comes out as 4 (....-), any letter or digit being a beacon there.
    QTest::newRow("null inside a dash at position 14, 6 dB") << int(splitOpen) << 6.0 << -1 << 0;
    // The rest of the last G, 100 Hz off, comes through the filter faintly: the marks read D sure
    // of it, where the ticks only guess.
    QTest::newRow("retuned before the last element, 6 dB, noise seed 7")
        << int(retunedLast) << 6.0 << -1 << 7;
    // The threshold loses the dot, but the baseband still shows it: the reading from the ticks must
    // restore it rather than the marks' G turn the beacon down.
    QTest::newRow("faded dot, 6 dB") << int(weakDot) << 6.0 << seeds << 0;
    // Where the threshold has followed the keying down into the space after a beacon, a blip far
    // under it keys a mark there: the beacon must not end in a character no beacon has.
    QTest::newRow("blip after the beacon, 6 dB") << int(blipAfter) << 6.0 << seeds << 0;
}

void TestWrongBeacons::rightOrNone()
{
    QFETCH(int, oddity);
    QFETCH(double, snrDb);
    QFETCH(int, secondHeard);
    QFETCH(int, onlySeed);
    const Heard heard = onlySeed > 0 ? hear(Oddity(oddity), snrDb, onlySeed, onlySeed)
                                     : hear(Oddity(oddity), snrDb, 1, seeds);
    QVERIFY2(heard.wrong.isEmpty(), qPrintable(heard.wrong.join(u", "_s)));
    // The clean beacon before shows the noise leaves something to decode.
    QVERIFY(heard.first >= (onlySeed > 0 ? 1 : seeds - 1));
    if (secondHeard >= 0) {
        QCOMPARE(heard.second, secondHeard);
    }
}

void TestWrongBeacons::marginalNoise_data()
{
    QTest::addColumn<double>("snrDb");

    // Where the keying starts to gain and lose whole elements, clean beacons come through only now
    // and then; what does come through must be as sent.
    QTest::newRow("-9 dB") << -9.0;
    QTest::newRow("-10 dB") << -10.0;
}

void TestWrongBeacons::marginalNoise()
{
    QFETCH(double, snrDb);
    constexpr int manySeeds = 20;
    const Heard heard = hear(clean, snrDb, 1, manySeeds);
    QVERIFY2(heard.wrong.isEmpty(), qPrintable(heard.wrong.join(u", "_s)));
    // Something still decodes, or the noise would prove nothing.
    QVERIFY(heard.first + heard.second >= manySeeds / 4);
}

void TestWrongBeacons::generatedNearFloor_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<double>("wpm");
    QTest::addColumn<int>("leastHeard"); // beacons that must still come through

    // Four beacons from the generator, as the benchmark keys them by hand at 18 WPM. The noise
    // swallows the last dot of a 4 (C4G2): both the marks and the ticks read S, and the frame had
    // the ticks fill the 8 it then needed with a dot of noise after G (CS82), each character sure.
    QTest::newRow("a dot lost, -8 dB") << quint64(780020) << -8.0 << 18.0 << 2;
    // Noise one unit after the last G of the first beacon reads as a fourth element, Z, 0.99 sure
    // in both readings; nothing after the beacon bounds it. Few beacons decode this deep.
    QTest::newRow("noise after the last character, -10 dB") << quint64(770041) << -10.0 << 18.0 << 0;
    // At 25 WPM the noise hollows the last dash of a Q at position 14 (--.-): the marks, unsure of
    // the frame, and the ticks both read 7 (--...), the ticks 0.978 sure at the level they assumed.
    QTest::newRow("a dash hollowed, -8 dB") << quint64(790145) << -8.0 << 25.0 << 1;
}

void TestWrongBeacons::generatedNearFloor()
{
    QFETCH(quint64, seed);
    QFETCH(double, snrDb);
    QFETCH(double, wpm);
    QFETCH(int, leastHeard);
    std::mt19937_64 random(seed ^ 0x9e3779b97f4a7c15ULL);
    constexpr int count = 4;
    std::vector<std::string> texts;
    texts.reserve(count);
    for (int i = 0; i < count; ++i) {
        texts.push_back(cwsynth::randomBeacon(random));
    }
    cwsynth::SignalParams p;
    p.seed = seed;
    p.snrDb = snrDb;
    p.wpm = wpm;
    p.startHz = 500.0 + double(seed * 97 % 500);
    cwsynth::Signal signal(p, texts);
    QStringList sentTexts;
    for (const std::string& text : texts) {
        sentTexts << QString::fromStdString(text);
    }
    const QStringList beacons = decode(signal.renderAll());
    for (const QString& beacon : beacons) {
        QVERIFY2(sentTexts.contains(beacon), qPrintable(u"%1 was never sent"_s.arg(beacon)));
    }
    // Most of them still come through, where the noise leaves that many.
    QVERIFY(beacons.size() >= leastHeard);
}

void TestWrongBeacons::marksAcceptance_data()
{
    QTest::addColumn<double>("cost");
    QTest::addColumn<int>("doubtfulAt");
    QTest::addColumn<double>("confidence");
    QTest::addColumn<bool>("sure");

    QTest::newRow("clean") << 0.0 << -1 << 1.0 << true;
    QTest::newRow("a dot lost") << 4.5 << -1 << 1.0 << true;
    QTest::newRow("two dots lost") << 9.0 << -1 << 1.0 << false;
    QTest::newRow("a level symbol at even odds") << 0.0 << 6 << 0.5 << true;
    QTest::newRow("a level symbol at one in four") << 0.0 << 6 << 0.25 << false;
    QTest::newRow("the last symbol at one in four") << 0.0 << 18 << 0.25 << false;
    QTest::newRow("a prefix letter at one in four") << 0.0 << 2 << 0.25 << true;
}

// Only a reading of the marks this sure may overrule the ticks; a weaker one must agree with them.
void TestWrongBeacons::marksAcceptance()
{
    QFETCH(double, cost);
    QFETCH(int, doubtfulAt);
    QFETCH(double, confidence);
    QFETCH(bool, sure);
    cwaudio::FoundBeacon found = marksRead(cost);
    if (doubtfulAt >= 0) {
        found.confidence.at(std::size_t(doubtfulAt)) = confidence;
    }
    QCOMPARE(cwaudio::sureEnough(found, cwaudio::Acceptance {}), sure);
}

void TestWrongBeacons::readingAcceptance_data()
{
    QTest::addColumn<double>("marksCost");
    QTest::addColumn<bool>("ticksDiffer"); // the ticks read position 10 otherwise than the marks
    QTest::addColumn<double>("framed"); // the ticks' confidence at 10 among what it may hold
    QTest::addColumn<double>("open"); // ...and against every letter and digit
    QTest::addColumn<int>("jumpAt"); // the position the tone jumped at, -1: none
    QTest::addColumn<bool>("toneLost"); // at position 10
    QTest::addColumn<bool>("reported");
    QTest::addColumn<bool>("guessAtJump"); // the ticks only guess where the tone jumped

    QTest::newRow("both sure and alike") << 0.0 << false << 1.0 << 1.0 << -1 << false << true << false;
    // Marks right and ticks wrong have come out 0.9999 sure; ticks right against a dash the noise
    // split in the marks, 0.999999 and more.
    QTest::newRow("both sure, one character differs")
        << 0.0 << true << 0.9999 << 0.9999 << -1 << false << false << false;
    QTest::newRow("both sure, the ticks overwhelmingly")
        << 0.0 << true << 1.0 << 1.0 << -1 << false << true << false;
    QTest::newRow("marks unsure, ticks sure otherwise")
        << 12.0 << true << 1.0 << 1.0 << -1 << false << true << false;
    // Noise in the unit between two dots of a 6 made the ticks read C, 0.988 sure.
    QTest::newRow("marks unsure, ticks fairly sure otherwise")
        << 12.0 << true << 0.988 << 0.988 << -1 << false << false << false;
    QTest::newRow("marks unsure, ticks torn between two symbols")
        << 12.0 << true << 0.8 << 0.8 << -1 << false << false << false;
    // Clear among the level symbols, yet the ticks speak for a letter the position never holds.
    QTest::newRow("marks unsure, an impossible letter ten times likelier")
        << 12.0 << false << 1.0 << 0.09 << -1 << false << true << false;
    QTest::newRow("marks unsure, an impossible letter a hundred times likelier")
        << 12.0 << false << 1.0 << 0.0099 << -1 << false << false << false;
    QTest::newRow("across a jump, ticks unsure")
        << 0.0 << false << 0.8 << 0.8 << 10 << false << false << false;
    QTest::newRow("a jump elsewhere, the marks vouch")
        << 0.0 << false << 0.8 << 0.8 << 3 << false << true << false;
    QTest::newRow("across a jump, ticks sure") << 0.0 << false << 1.0 << 1.0 << 10 << false << true << false;
    QTest::newRow("ticks alone where the tone may be lost")
        << 12.0 << true << 1.0 << 1.0 << 10 << true << false << false;
    QTest::newRow("both alike where the tone may be lost")
        << 12.0 << false << 1.0 << 1.0 << 10 << true << true << false;
    // The tone is often found only during the first letter: one prefix letter may stay in doubt
    // there, as anywhere, while the marks vouch for the rest.
    QTest::newRow("across a jump at the first letter, ticks guess")
        << 0.0 << false << 0.8 << 0.8 << 0 << false << true << true;
    QTest::newRow("across a jump at the first character of telemetry, ticks guess")
        << 0.0 << false << 0.8 << 0.8 << 6 << false << false << true;
}

// The last word on a beacon: what the marks and the ticks each made of it.
void TestWrongBeacons::characterWitnesses_data()
{
    QTest::addColumn<double>("marksCost");
    QTest::addColumn<double>("marksAt10"); // the marks' confidence in position 10
    QTest::addColumn<double>("ticksAt10"); // the ticks' confidence there, among what it may hold
    QTest::addColumn<bool>("ticksDifferAt12"); // the ticks read position 12 otherwise than the marks
    QTest::addColumn<bool>("throughFades"); // positions 12 to 14 lie in fades
    QTest::addColumn<bool>("reported");

    // Position 12 lies in a fade: the ticks only guess there (0.5), so the marks must carry it.
    QTest::newRow("ticks sure of the one character the marks doubt")
        << 1.0 << 0.1 << 1.0 << false << false << true;
    QTest::newRow("ticks unsure of it too") << 1.0 << 0.1 << 0.8 << false << false << false;
    // Marks and ticks both in doubt of one character, at 0.55 and 0.62: F read as C at -7.6 dB.
    QTest::newRow("both unsure of it, alike") << 0.0 << 0.55 << 0.62 << false << false << false;
    QTest::newRow("ticks guess otherwise where the marks are sure")
        << 1.0 << 0.1 << 1.0 << true << false << false;
    QTest::newRow("marks fit the timing badly") << 12.0 << 0.1 << 1.0 << false << false << false;
    // Read through fades the marks' cost tells nothing; a character they are sure of stands when the
    // ticks read it alike, as surely where they only guess as where they are fairly sure.
    QTest::newRow("through fades, ticks fairly sure of what the marks are sure of")
        << 12.0 << 0.98 << 0.8 << false << true << true;
    QTest::newRow("through fades, both only fairly sure") << 12.0 << 0.8 << 0.8 << false << true << false;
}

// Marks unsure of one character, ticks only guessing at another: each character needs a witness.
void TestWrongBeacons::characterWitnesses()
{
    QFETCH(double, marksCost);
    QFETCH(double, marksAt10);
    QFETCH(double, ticksAt10);
    QFETCH(bool, ticksDifferAt12);
    QFETCH(bool, throughFades);
    QFETCH(bool, reported);
    cwaudio::FoundBeacon marks = marksRead(marksCost);
    marks.confidence[10] = marksAt10;
    cwaudio::SoftBeacon ticks = ticksRead();
    ticks.framed[12] = ticks.confidence[12] = 0.5;
    if (ticksDifferAt12) {
        ticks.text[12] = 'Z'; // 6 sent there
    }
    ticks.framed[10] = ticks.confidence[10] = ticksAt10;
    std::fill_n(ticks.inFade.begin() + 12, 3, throughFades);
    QCOMPARE(cwaudio::acceptReading(marks, ticks, cwaudio::TickDoubts {}), reported);
}

void TestWrongBeacons::readingAcceptance()
{
    QFETCH(double, marksCost);
    QFETCH(bool, ticksDiffer);
    QFETCH(double, framed);
    QFETCH(double, open);
    QFETCH(int, jumpAt);
    QFETCH(bool, toneLost);
    QFETCH(bool, reported);
    QFETCH(bool, guessAtJump);
    constexpr std::size_t at = 10;
    const cwaudio::FoundBeacon marks = marksRead(marksCost);
    cwaudio::SoftBeacon ticks = ticksRead();
    if (ticksDiffer) {
        ticks.text[at] = 'Z'; // 8 sent there
    }
    ticks.framed[at] = framed;
    ticks.confidence[at] = open;
    cwaudio::TickDoubts doubts;
    if (jumpAt >= 0) {
        doubts.jumped.at(std::size_t(jumpAt)) = true;
        if (guessAtJump) {
            ticks.framed.at(std::size_t(jumpAt)) = ticks.confidence.at(std::size_t(jumpAt)) = 0.5;
        }
    }
    doubts.toneLost[at] = toneLost;
    QCOMPARE(cwaudio::acceptReading(marks, ticks, doubts), reported);
}

void TestWrongBeacons::faintAcceptance_data()
{
    QTest::addColumn<bool>("faint");
    QTest::addColumn<double>("framed"); // the ticks' confidence at 10, read as the marks read it
    QTest::addColumn<bool>("reported");

    // Both readings lost the same dot (Z read as G), the ticks nine to one.
    QTest::newRow("faint, ticks nine to one") << true << 0.9 << false;
    QTest::newRow("faint, ticks sure") << true << 0.97 << true;
    QTest::newRow("stronger, the marks vouch") << false << 0.6 << true;
}

// Near the floor a dot vanishes from the marks where it vanishes from the ticks: their agreeing
// proves nothing.
void TestWrongBeacons::faintAcceptance()
{
    QFETCH(bool, faint);
    QFETCH(double, framed);
    QFETCH(bool, reported);
    const cwaudio::FoundBeacon marks = marksRead(0.0);
    cwaudio::SoftBeacon ticks = ticksRead();
    ticks.framed[10] = framed;
    ticks.confidence[10] = framed;
    cwaudio::TickDoubts doubts;
    doubts.faint = faint;
    QCOMPARE(cwaudio::acceptReading(marks, ticks, doubts), reported);
}

void TestWrongBeacons::lowerLevelAcceptance_data()
{
    QTest::addColumn<double>("marksCost");
    QTest::addColumn<bool>("nearFloor");
    QTest::addColumn<double>("lower"); // the ticks' confidence at 10 read at a lower key-down level
    QTest::addColumn<bool>("reported");

    // Read at the level the marks measured, a dip in a dash passed for a space, 0.9996 sure; a
    // little lower the reading no longer held.
    QTest::newRow("marks unsure, ticks hold lower too") << 12.0 << true << 0.97 << true;
    QTest::newRow("marks unsure, ticks fall lower") << 12.0 << true << 0.6 << false;
    QTest::newRow("marks sure, they vouch") << 0.0 << true << 0.5 << true;
    QTest::newRow("stronger, the measured level holds") << 12.0 << false << 0.6 << true;
}

// Where the marks vouch for nothing, the ticks' reading must not rest on the level they assumed.
void TestWrongBeacons::lowerLevelAcceptance()
{
    QFETCH(double, marksCost);
    QFETCH(bool, nearFloor);
    QFETCH(double, lower);
    QFETCH(bool, reported);
    const cwaudio::FoundBeacon marks = marksRead(marksCost);
    cwaudio::SoftBeacon ticks = ticksRead();
    ticks.framedLower[10] = lower;
    cwaudio::TickDoubts doubts;
    doubts.nearFloor = nearFloor;
    QCOMPARE(cwaudio::acceptReading(marks, ticks, doubts), reported);
}

void TestWrongBeacons::floorWitnesses_data()
{
    QTest::addColumn<bool>("nearFloor");
    QTest::addColumn<bool>("prefixDoubted"); // two prefix letters doubted: the marks are not sure
    QTest::addColumn<double>("framed"); // the ticks' confidence at 14
    QTest::addColumn<double>("lower"); // ...read at a lower level
    QTest::addColumn<bool>("reported");

    // R sent at 14, its last dot lost in both readings: A, the marks 0.81 sure, the ticks 0.99 at
    // the level measured and 0.80 a little under it.
    QTest::newRow("close to the floor, ticks fall lower") << true << true << 0.99 << 0.80 << false;
    QTest::newRow("close to the floor, ticks hold lower") << true << true << 0.99 << 0.99 << true;
    QTest::newRow("stronger, the marks vouch") << false << true << 0.99 << 0.80 << true;
    // S sent at 14, its last dot lost: I, the marks 0.81 sure and sure of all the rest, the ticks
    // 0.54. Two doubtful readings of one character vouch for nothing at any level.
    QTest::newRow("close to the floor, marks sure but at 14") << true << false << 0.54 << 0.54 << false;
    QTest::newRow("stronger, marks sure but at 14") << false << false << 0.54 << 0.54 << false;
}

// Marks that fit the timing well but doubt two prefix letters vouch for the characters they read
// fairly surely; close to the floor only with the ticks sure of them too.
void TestWrongBeacons::floorWitnesses()
{
    QFETCH(bool, nearFloor);
    QFETCH(bool, prefixDoubted);
    QFETCH(double, framed);
    QFETCH(double, lower);
    QFETCH(bool, reported);
    constexpr std::size_t open = 13;
    cwaudio::FoundBeacon marks = marksRead(1.5);
    if (prefixDoubted) {
        marks.confidence[0] = marks.confidence[1] = 0.2;
    }
    marks.confidence[open] = 0.81;
    cwaudio::SoftBeacon ticks = ticksRead();
    ticks.framed[open] = framed;
    ticks.confidence[open] = framed;
    ticks.framedLower[open] = lower;
    cwaudio::TickDoubts doubts;
    doubts.nearFloor = nearFloor;
    QCOMPARE(cwaudio::acceptReading(marks, ticks, doubts), reported);
}

QTEST_GUILESS_MAIN(TestWrongBeacons)
#include "tst_wrongbeacons.moc"

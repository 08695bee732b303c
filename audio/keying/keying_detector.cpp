// SPDX-License-Identifier: GPL-3.0-or-later
#include "keying_detector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

constexpr double windowSeconds = 2.0;
constexpr int levelInterval = 8;
constexpr int ringSize = 64;
// Percentiles of the amplitude: spaces fill well over a fifth of any stretch of Morse, marks too.
constexpr double noisePercentile = 0.1;
constexpr double markPercentile = 0.8;
// Mean over the 20th percentile of a Rayleigh amplitude.
constexpr double rayleighMeanOverP20 = 2.731;
// Below this mark-to-noise amplitude ratio the window holds no keying worth deciding.
constexpr double presenceRatio = 2.4;
constexpr double minMarkShare = 0.08;
// Without keying in sight the threshold stays this far above the mean noise amplitude, which a
// Rayleigh amplitude exceeds about once in 5000 ticks.
constexpr double quietThreshold = 3.3;
constexpr double holdDecayDbPerSecond = 1.0;
// The matched filter spans most of a dot: a dot shortened by the hand still reaches full height.
constexpr double filterShare = 0.8;
// Marks and spaces shorter than this share of a dot are taken for noise.
constexpr double glitchShare = 0.3;
// A dot lost next to a character sits within this many dots of it, centre and spread included.
constexpr double edgeShare = 2.5;
constexpr int levelRingSize = 1024;
// A fade takes the signal 20 dB down within a few tenths of a second: the keying level around a
// decision forgets stronger marks farther off this fast (about 90 dB a second), and looks this
// many of those time constants ahead and back.
constexpr double fadeSeconds = 0.1;
constexpr double fadeHorizon = 4.0;
// Where the keying around the decision has faded below the steady level, the threshold sits this
// far up from the noise to it...
constexpr double fadeShare = 0.5;
// ...but a mark keys only this far over the mean noise amplitude.
constexpr double fadeFloor = 3.0;
// In a fade, a mark in progress holds until it falls this far below the threshold it rose through,
// so a mark dipping into a null is not split. Out of a fade the noise would only draw marks out.
constexpr double holdShare = 0.5;
// ...where the keying around it has fallen this far (10 dB) below the steady level: a null.
constexpr double holdGate = 0.3;
} // namespace

KeyingDetector::KeyingDetector(double tickRate)
    : m_tickRate(tickRate)
    , m_ticks(ringSize)
    , m_amplitudes(static_cast<std::size_t>(windowSeconds * tickRate))
    , m_lookahead(static_cast<int>(m_amplitudes.size() / 2))
    , m_envelopes(m_amplitudes.size(), 0.0f)
    , m_fade(
          std::exp(-1.0 / (fadeSeconds * tickRate)), static_cast<int>(fadeHorizon * fadeSeconds * tickRate))
    , m_scratch(m_amplitudes.size())
    , m_holdDecay(std::pow(10.0, -holdDecayDbPerSecond * levelInterval / tickRate / 20.0))
    , m_levels(levelRingSize, 0.0f)
    , m_edgeTicks(edgeShare * 0.06 * tickRate)
{
    m_fade.setReach(m_length);
    m_levelWindow.values.reset(m_amplitudes.size());
}

void KeyingDetector::setNoise(double variance, int samplesPerTick)
{
    m_noiseVariance = variance;
    m_samplesPerTick = samplesPerTick;
}

void KeyingDetector::setDotTicks(double dotTicks)
{
    m_length = std::clamp(static_cast<int>(std::lround(filterShare * dotTicks)), 1, ringSize - 1);
    m_minRun = std::max(2.0, glitchShare * dotTicks);
    m_edgeTicks = edgeShare * dotTicks;
    m_fade.setReach(m_length);
}

KeyRun KeyingDetector::closedRun(int skip) const
{
    KeyRun run { m_state, m_runStart, m_runLength, 0.0, 0.0, 0.0 };
    // The ramps into the marks on either side say nothing about what lies between them.
    const int ramp = m_length / 2 + 1;
    const int length = std::min(static_cast<int>(m_runLength), levelRingSize - 1 - skip);
    const auto edge = static_cast<int>(m_edgeTicks);
    for (int i = ramp; i < length - ramp; ++i) {
        const int back = skip + length - i;
        const double level = m_levels[(m_levelPos - back + levelRingSize) % levelRingSize];
        run.peak = std::max(run.peak, level);
        if (i < edge) {
            run.head = std::max(run.head, level);
        }
        if (i >= length - edge) {
            run.tail = std::max(run.tail, level);
        }
    }
    return run;
}

double KeyingDetector::snrDb() const
{
    if (m_noise <= 0.0) {
        return 0.0;
    }
    // Rayleigh mean amplitude to noise power, then from the matched-filter bandwidth to 2500 Hz.
    const double noisePower = m_noise * m_noise * 4.0 / std::numbers::pi;
    const double tonePower = std::max(m_mark * m_mark - noisePower, 1e-3 * noisePower);
    const double seconds = m_length / m_tickRate;
    return 10.0 * std::log10(tonePower / noisePower) - 10.0 * std::log10(2500.0 * seconds);
}

KeyingDetector::Level KeyingDetector::markLevel()
{
    // The whole ring, which moves by a few ticks between calls: kept sorted rather than sorted again.
    const int size = static_cast<int>(m_amplitudes.size());
    LevelWindow& window = m_levelWindow;
    const int advanced = (m_ampPos - window.ampPos + size) % size;
    // The ticks from `back` from the newest up to the newest, oldest first.
    const auto pushFrom = [&](int back) {
        for (int at = m_ampPos - back; back >= 1; --back, ++at) {
            window.values.push(m_amplitudes[static_cast<std::size_t>(at < 0 ? at + size : at)],
                static_cast<std::size_t>(m_ampFill));
        }
    };
    if (m_ampFill == std::min(size, window.ampFill + advanced)) {
        pushFrom(std::min(m_ampFill, advanced));
    } else {
        // The ring started again (flush).
        window.values.reset(m_amplitudes.size());
        pushFrom(m_ampFill);
    }
    window.values.keepNewest(static_cast<std::size_t>(m_ampFill));
    window.ampPos = m_ampPos;
    window.ampFill = m_ampFill;
    const SortedWindow& values = window.values;
    const std::size_t count = values.size();
    if (count == 0) {
        return {};
    }
    // The mark level is the mean of what lies above the threshold it sets (two-means), since a
    // percentile would land wherever the share of key-down time happens to put it.
    double mark = values.atRank(static_cast<std::size_t>(markPercentile * static_cast<double>(count - 1)));
    std::size_t above = 0;
    SortedWindow::Upper upper;
    for (int pass = 0; pass < 3; ++pass) {
        const double threshold = 0.5 * (m_noise + mark);
        upper = pass == 0 ? values.above(threshold) : values.above(threshold, upper);
        above = upper.count;
        if (above == 0) {
            break;
        }
        mark = upper.sum / static_cast<double>(above);
    }
    // Split in two, pure noise gives an upper half under twice its mean; keying stands well clear.
    const bool present = mark > presenceRatio * m_noise &&
        static_cast<double>(above) > minMarkShare * static_cast<double>(count);
    return { mark, present };
}

void KeyingDetector::updateLevels()
{
    if (m_noiseVariance >= 0.0) {
        // Mean amplitude of complex noise averaged over the filter's span of samples.
        const double power = m_noiseVariance / (static_cast<double>(m_samplesPerTick) * m_length);
        m_noise = std::sqrt(std::numbers::pi / 4 * power);
    } else {
        const int size = static_cast<int>(m_amplitudes.size());
        const auto count = static_cast<std::size_t>(m_ampFill);
        for (std::size_t i = 0; i < count; ++i) {
            m_scratch[i] = m_amplitudes[(static_cast<int>(i) + size) % size];
        }
        auto it =
            m_scratch.begin() + static_cast<std::ptrdiff_t>(noisePercentile * static_cast<double>(count - 1));
        std::nth_element(m_scratch.begin(), it, m_scratch.begin() + static_cast<std::ptrdiff_t>(count));
        m_noise = *it * rayleighMeanOverP20;
    }
    // The whole window keeps the level steady in the noise; the envelope around each decision
    // follows a fade below it.
    const Level level = markLevel();
    m_present = level.present;
    if (m_present) {
        m_mark = level.mark;
    } else {
        // Silence: hold the last mark level, slowly letting go.
        m_mark *= m_holdDecay;
    }
    m_signal = m_mark > m_noise && m_mark > 1e-12;
}

KeyingDetector::Threshold KeyingDetector::decisionThreshold(double envelope) const
{
    if (!m_present) {
        return { threshold(), 1.0 };
    }
    // Part way to the keying around the decision, where that is lower: a weak mark in the null of a
    // fade keys, while marks a fraction of a second away, 20 dB stronger, set no level for it.
    // Never so low that the noise alone would key.
    const double faded = m_noise + fadeShare * (envelope - m_noise);
    return { std::min(threshold(), std::max(faded, fadeFloor * m_noise)),
        std::clamp(envelope / (holdGate * m_mark), holdShare, 1.0) };
}

double KeyingDetector::threshold() const
{
    const double middle = 0.5 * (m_noise + m_mark);
    return m_present ? middle : std::max(middle, quietThreshold * m_noise);
}

std::optional<KeyRun> KeyingDetector::push(std::complex<float> tick)
{
    m_ticks[m_tickPos] = tick;
    m_tickPos = (m_tickPos + 1) % ringSize;
    std::complex<float> sum { 0.0f, 0.0f };
    for (int k = 1; k <= m_length; ++k) {
        sum += m_ticks[(m_tickPos - k + ringSize) % ringSize];
    }
    const float amplitude = std::abs(sum) / static_cast<float>(m_length);
    pushEnvelope(amplitude, m_ampPos);

    const int size = static_cast<int>(m_amplitudes.size());
    m_amplitudes[m_ampPos] = amplitude;
    m_ampPos = (m_ampPos + 1) % size;
    m_ampFill = std::min(m_ampFill + 1, size);
    if (++m_sinceLevels >= levelInterval || m_ampFill < levelInterval) {
        m_sinceLevels = 0;
        updateLevels();
    }
    if (m_ampFill <= m_lookahead) {
        return std::nullopt;
    }
    const int decidedPos = (m_ampPos - 1 - m_lookahead + size) % size;
    const float decided = m_amplitudes[decidedPos];
    return decide(decided, m_signal ? decisionThreshold(m_envelopes[decidedPos]) : Threshold {});
}

void KeyingDetector::pushEnvelope(float amplitude, int position)
{
    float envelope = 0.0f;
    if (m_fade.push(amplitude, envelope)) {
        // The ring holds the envelope at the same place as its tick's amplitude.
        const int size = static_cast<int>(m_envelopes.size());
        m_envelopes[(position - m_fade.delay() % size + size) % size] = envelope;
    }
}

std::optional<KeyRun> KeyingDetector::decide(float amplitude, Threshold threshold)
{
    const double level = threshold.rise > 0.0 ? amplitude / threshold.rise : 0.0;
    const bool key = level > (m_state ? threshold.hold : 1.0);
    std::optional<KeyRun> done;
    m_tick += 1.0;
    m_levels[m_levelPos] = static_cast<float>(level);
    m_levelPos = (m_levelPos + 1) % levelRingSize;
    if (key == m_state) {
        m_runLength += 1.0;
        // Once this run is too long to be a glitch, the one before it is final.
        if (m_pending && m_runLength >= m_minRun) {
            done = m_pending;
            m_pending.reset();
        }
        return done;
    }
    if (m_runLength < m_minRun && m_pending) {
        // A glitch: the run before it simply continues.
        m_state = m_pending->mark;
        m_runStart = m_pending->start;
        m_runLength = m_pending->length + m_runLength + 1.0;
        m_pending.reset();
        return done;
    }
    done = m_pending;
    // This tick already belongs to the next run.
    m_pending = closedRun(1);
    m_state = key;
    m_runStart = m_tick - 1.0;
    m_runLength = 1.0;
    return done;
}

std::vector<KeyRun> KeyingDetector::flush()
{
    std::vector<KeyRun> done;
    // Decide what the look-ahead still holds, with the levels as they stand; silence follows.
    const int size = static_cast<int>(m_amplitudes.size());
    const int ahead = std::min(m_lookahead, m_ampFill);
    for (int k = 0; k < m_fade.delay(); ++k) {
        pushEnvelope(0.0f, (m_ampPos + k) % size);
    }
    for (int k = ahead; k > 0; --k) {
        const int pos = (m_ampPos - k + size) % size;
        if (auto run =
                decide(m_amplitudes[pos], m_signal ? decisionThreshold(m_envelopes[pos]) : Threshold {})) {
            done.push_back(*run);
        }
    }
    if (m_pending) {
        done.push_back(*m_pending);
    }
    done.push_back(closedRun(0));
    m_pending.reset();
    m_state = false;
    m_runLength = 0.0;
    m_ampFill = 0;
    return done;
}

} // namespace cwaudio

// SPDX-License-Identifier: GPL-3.0-or-later
#include "decimator.h"

#include "vector_state.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define DECIMATOR_AVX 1
#endif

namespace cwaudio {

namespace {

constexpr double highestWorkingRate = 16000.0;
constexpr double workingRate = 8000.0;
// The tone may be up to 3000 Hz.
constexpr double passbandEdge = 3000.0;
// Outputs summed at once: enough vector registers of them to hide the latency of each addition.
constexpr std::size_t outputBlock = 16;

// `count` consecutive outputs from the phase-split samples (tap t meets samples[offsets[t]] on).
template<std::size_t count>
void sumBlock(
    const float* samples, const std::vector<float>& taps, const std::vector<std::size_t>& offsets, float* out)
{
    std::array<float, count> sum {};
    for (std::size_t t = 0; t < taps.size(); ++t) {
        const float tap = taps[t];
        const float* run = samples + offsets[t];
        for (std::size_t j = 0; j < count; ++j) {
            sum[j] += tap * run[j];
        }
    }
    std::copy(sum.begin(), sum.end(), out);
}

#if defined(DECIMATOR_AVX)
// `registers` times eight outputs of sumBlock() in AVX registers: the same products and sums in
// the same order.
template<std::size_t registers>
__attribute__((target("avx"))) inline void sumBlockAvx(
    const float* samples, const std::vector<float>& taps, const std::vector<std::size_t>& offsets, float* out)
{
    constexpr std::size_t width = 8;
    __m256 sum[registers];
    for (__m256& s : sum) {
        s = _mm256_setzero_ps();
    }
    for (std::size_t t = 0; t < taps.size(); ++t) {
        const __m256 tap = _mm256_set1_ps(taps[t]);
        const float* run = samples + offsets[t];
        for (std::size_t r = 0; r < registers; ++r) {
            sum[r] = _mm256_add_ps(sum[r], _mm256_mul_ps(tap, _mm256_loadu_ps(run + r * width)));
        }
    }
    for (std::size_t r = 0; r < registers; ++r) {
        _mm256_storeu_ps(out + r * width, sum[r]);
    }
}

// sumBlock() with AVX over the outputs, eight registers at a time, then one; returns how many it
// summed (the rest are left to sumBlock()).
__attribute__((target("avx"))) std::size_t sumAllAvx(const float* samples, const std::vector<float>& taps,
    const std::vector<std::size_t>& offsets, std::size_t outputs, float* out)
{
    std::size_t j = 0;
    for (; j + 64 <= outputs; j += 64) {
        sumBlockAvx<8>(samples + j, taps, offsets, out + j);
    }
    for (; j + 8 <= outputs; j += 8) {
        sumBlockAvx<1>(samples + j, taps, offsets, out + j);
    }
    return j;
}
#endif

#if defined(__SSE2__)
// Rows of four floats turned into columns.
void transpose(__m128& a, __m128& b, __m128& c, __m128& d)
{
    const __m128 ab0 = _mm_unpacklo_ps(a, b);
    const __m128 ab1 = _mm_unpackhi_ps(a, b);
    const __m128 cd0 = _mm_unpacklo_ps(c, d);
    const __m128 cd1 = _mm_unpackhi_ps(c, d);
    a = _mm_movelh_ps(ab0, cd0);
    b = _mm_movehl_ps(cd0, ab0);
    c = _mm_movelh_ps(ab1, cd1);
    d = _mm_movehl_ps(cd1, ab1);
}

// The start of splitPhases() four samples of every phase at a time, as 4x4 transposes of the
// input read as rows of `factor`; returns how many samples of each phase it wrote.
std::size_t splitPhasesByFour(
    const float* x, std::size_t factor, std::size_t count, std::size_t stride, float* out)
{
    std::size_t m = 0;
    for (; m + 4 <= count; m += 4) {
        const float* row = x + m * factor;
        for (std::size_t c = 0; c < factor; c += 4) {
            const std::size_t first = std::min(c, factor - 4); // the last group may overlap the one before
            __m128 a = _mm_loadu_ps(row + first);
            __m128 b = _mm_loadu_ps(row + factor + first);
            __m128 d0 = _mm_loadu_ps(row + 2 * factor + first);
            __m128 d1 = _mm_loadu_ps(row + 3 * factor + first);
            transpose(a, b, d0, d1);
            float* to = out + first * stride + m;
            _mm_storeu_ps(to, a);
            _mm_storeu_ps(to + stride, b);
            _mm_storeu_ps(to + 2 * stride, d0);
            _mm_storeu_ps(to + 3 * stride, d1);
        }
    }
    return m;
}
#endif

// Copies x[p + m * factor] to out[p * stride + m], m below the phase's share of `size` samples
// (at most stride), so that the samples each tap meets lie side by side.
void splitPhases(const float* x, std::size_t size, std::size_t factor, std::size_t stride, float* out)
{
    std::size_t done = 0;
#if defined(__SSE2__)
    if (factor >= 4) {
        // The last phase has the fewest samples.
        const std::size_t fewest = std::min(stride, (size - (factor - 1) + factor - 1) / factor);
        done = splitPhasesByFour(x, factor, fewest, stride, out);
    }
#endif
    for (std::size_t p = 0; p < factor; ++p) {
        const float* from = x + p;
        float* phase = out + p * stride;
        const std::size_t count = std::min(stride, (size - p + factor - 1) / factor);
        for (std::size_t m = done; m < count; ++m) {
            phase[m] = from[m * factor];
        }
    }
}

} // namespace

Decimator::Decimator(double inputRate)
    : m_factor(inputRate >= highestWorkingRate ? static_cast<int>(inputRate / workingRate) : 1)
    , m_outputRate(inputRate / m_factor)
{
    if (m_factor == 1) {
        return;
    }
    // Blackman-windowed sinc, cut off between the CW band and the new Nyquist frequency.
    const int length = 8 * m_factor + 1;
    const double cutoff =
        std::min(passbandEdge + 0.5 * (m_outputRate / 2 - passbandEdge), 0.45 * m_outputRate) / inputRate;
    m_taps.resize(length);
    double sum = 0;
    for (int i = 0; i < length; ++i) {
        const double n = i - (length - 1) / 2.0;
        const double sinc =
            n == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * n) / (std::numbers::pi * n);
        const double phase = 2 * std::numbers::pi * i / (length - 1);
        const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
        m_taps[i] = static_cast<float>(sinc * window);
        sum += m_taps[i];
    }
    for (float& tap : m_taps) {
        tap = static_cast<float>(tap / sum);
    }
    m_history.assign(length - 1, 0.0f);
}

void Decimator::process(std::span<const float> input, std::vector<float>& output)
{
    if (m_factor == 1) {
        output.insert(output.end(), input.begin(), input.end());
        return;
    }
    const std::size_t taps = m_taps.size();
    const std::size_t keep = taps - 1;
    m_history.insert(m_history.end(), input.begin(), input.end());
    const std::size_t available = m_history.size() - keep; // new samples
    const auto factor = static_cast<std::size_t>(m_factor);
    std::size_t i = m_phase;
    if (i < available) {
        // Output j is the sum over k of tap k times m_history[i + j * factor + k]. Split into its
        // phases (k modulo the factor), the samples each tap meets for consecutive outputs lie side
        // by side, so a block of outputs is summed at once, which vectorises.
        const std::size_t outputs = (available - 1 - i) / factor + 1;
        const std::size_t perPhase = (taps + factor - 1) / factor;
        const std::size_t stride = outputs + perPhase;
        m_phaseSamples.resize(factor * stride);
        splitPhases(m_history.data() + i, m_history.size() - i, factor, stride, m_phaseSamples.data());
        if (m_tapOffsets.empty()) {
            // Taken phase by phase, each phase's taps in order, so that every sum rounds alike
            // however the outputs are blocked.
            for (std::size_t p = 0; p < factor && p < taps; ++p) {
                for (std::size_t k = p; k < taps; k += factor) {
                    m_phaseTaps.push_back(m_taps[k]);
                }
            }
            m_tapOffsets.resize(taps);
        }
        for (std::size_t p = 0, t = 0; p < factor && p < taps; ++p) {
            for (std::size_t k = p, m = 0; k < taps; k += factor, ++m, ++t) {
                m_tapOffsets[t] = p * stride + m; // m = k / factor
            }
        }
        const std::size_t first = output.size();
        output.resize(first + outputs);
        float* out = output.data() + first;
        std::size_t j = 0;
#if defined(DECIMATOR_AVX)
        if (hasAvx()) {
            j = sumAllAvx(m_phaseSamples.data(), m_phaseTaps, m_tapOffsets, outputs, out);
        }
#endif
        for (; j + outputBlock <= outputs; j += outputBlock) {
            sumBlock<outputBlock>(m_phaseSamples.data() + j, m_phaseTaps, m_tapOffsets, out + j);
        }
        for (; j < outputs; ++j) {
            sumBlock<1>(m_phaseSamples.data() + j, m_phaseTaps, m_tapOffsets, out + j);
        }
        i += outputs * factor;
    }
    m_phase = static_cast<int>(i - available);
    m_history.erase(m_history.begin(), m_history.begin() + static_cast<std::ptrdiff_t>(available));
}

} // namespace cwaudio

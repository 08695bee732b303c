// SPDX-License-Identifier: GPL-3.0-or-later
#include "vector_state.h"

#include <atomic>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

namespace cwaudio {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

namespace {

__attribute__((target("avx"))) void zeroUpper()
{
    _mm256_zeroupper();
}

std::atomic<bool> avxAllowed { true };

} // namespace

bool hasAvx()
{
    // Also false where the system does not save the AVX registers.
    static const bool avx = __builtin_cpu_supports("avx");
    return avx && avxAllowed.load(std::memory_order_relaxed);
}

bool hasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 && hasAvx();
}

void allowAvx(bool allowed)
{
    avxAllowed.store(allowed, std::memory_order_relaxed);
}

void clearUpperVectorState()
{
    // Without AVX there is no upper half to clear, and the instruction does not exist.
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) {
        zeroUpper();
    }
}

#else

bool hasAvx()
{
    return false;
}

bool hasAvx2()
{
    return false;
}

void allowAvx(bool /*allowed*/) { }

void clearUpperVectorState() { }

#endif

} // namespace cwaudio

// SPDX-License-Identifier: GPL-3.0-or-later
#include "vector_state.h"

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

} // namespace

bool hasAvx()
{
    // Also false where the system does not save the AVX registers.
    static const bool avx = __builtin_cpu_supports("avx");
    return avx;
}

bool hasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

void clearUpperVectorState()
{
    // Without AVX there is no upper half to clear, and the instruction does not exist.
    if (hasAvx()) {
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

void clearUpperVectorState() { }

#endif

} // namespace cwaudio

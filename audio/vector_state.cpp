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

void clearUpperVectorState()
{
    // Without AVX there is no upper half to clear, and the instruction does not exist.
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) {
        zeroUpper();
    }
}

#else

void clearUpperVectorState() { }

#endif

} // namespace cwaudio

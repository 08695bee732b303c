// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cwaudio {

// Marks the upper halves of the AVX registers unused. Code built for plain SSE (this decoder,
// libvorbis) runs at about half speed on many x86 processors after AVX code that did not (Qt's
// string functions, when the options were parsed) left them in use; elsewhere it does nothing.
void clearUpperVectorState();

// Whether the processor and the system run AVX code, and AVX2 code (and it is allowed).
bool hasAvx();
bool hasAvx2();
// false: the baseline code everywhere, as on a processor without AVX (for comparing the two).
void allowAvx(bool allowed);

// runVectorised(body) runs `body`, a lambda declared VECTORISED_BODY, built for AVX where the
// processor has it and for the baseline otherwise. Only the vector width differs, never the
// operations or their order (AVX has no fused multiply-add), so the results are the same bit for bit.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

// On the lambda (after its parameters) and on every function it calls in its loops.
#define VECTORISED_BODY __attribute__((always_inline))

template<typename Body>
__attribute__((target("avx"))) void runWithAvx(Body& body)
{
    body();
}

template<typename Body>
void runVectorised(Body&& body)
{
    if (hasAvx()) {
        runWithAvx(body);
    } else {
        body();
    }
}

#else

#define VECTORISED_BODY

template<typename Body>
void runVectorised(Body&& body)
{
    body();
}

#endif

} // namespace cwaudio

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cwaudio {

// Marks the upper halves of the AVX registers unused. Code built for plain SSE (this decoder,
// libvorbis) runs at about half speed on many x86 processors after AVX code that did not (Qt's
// string functions, when the options were parsed) left them in use; elsewhere it does nothing.
void clearUpperVectorState();

} // namespace cwaudio

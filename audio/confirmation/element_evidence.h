// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tick_likelihood.h"

#include <cstddef>
#include <string_view>

namespace cwaudio {

// Whether the ticks show every element of a character read as `code`, from cell `start` to cell
// `end`, as keying and not as noise, where the keying saw only `seen` marks of it: laid out as well
// as the ticks allow, each element must stand clear of the noise. Where the keying missed one, the
// frame may have the ticks fill the place with a dot of noise (4 read as S, then G as 8). True
// when the keying saw every element, or no layout fits (the reading says nothing then).
bool keyedClearly(const TickLikelihood& ticks, std::string_view code, int start, int end, std::size_t seen);

} // namespace cwaudio

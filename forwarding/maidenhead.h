// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace forwarding {

struct GeoPosition
{
    double latitude = 0; // north positive
    double longitude = 0; // east positive
};

// The centre of a Maidenhead locator square of 4, 6 or 8 characters ("JN49", "JN49cr",
// "JN49cr54"), any letter case; nullopt when `locator` is not one.
std::optional<GeoPosition> locatorCentre(const QString& locator);

} // namespace forwarding

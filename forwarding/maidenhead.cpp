// SPDX-License-Identifier: GPL-3.0-or-later
#include "maidenhead.h"

namespace forwarding {

namespace {

// Each pair of characters divides the previous square: letters A-R, digits, letters A-X, digits.
struct Pair
{
    char first;
    int count;
    double longitudeStep; // degrees per step
};
constexpr Pair pairs[] = {
    { 'A', 18, 20.0 },
    { '0', 10, 2.0 },
    { 'A', 24, 2.0 / 24 },
    { '0', 10, 2.0 / 240 },
};

} // namespace

std::optional<GeoPosition> locatorCentre(const QString& locator)
{
    const QString text = locator.trimmed().toUpper();
    if (text.size() != 4 && text.size() != 6 && text.size() != 8) {
        return std::nullopt;
    }
    double longitude = -180;
    double latitude = -90;
    double longitudeStep = 0;
    for (qsizetype i = 0; i < text.size() / 2; ++i) {
        const Pair& pair = pairs[i];
        const int lonIndex = text[2 * i].unicode() - pair.first;
        const int latIndex = text[2 * i + 1].unicode() - pair.first;
        if (lonIndex < 0 || lonIndex >= pair.count || latIndex < 0 || latIndex >= pair.count) {
            return std::nullopt;
        }
        longitudeStep = pair.longitudeStep;
        longitude += lonIndex * longitudeStep;
        latitude += latIndex * longitudeStep / 2; // a square is half as tall as it is wide
    }
    return GeoPosition { latitude + longitudeStep / 4, longitude + longitudeStep / 2 };
}

} // namespace forwarding

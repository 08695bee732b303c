// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaObject>
#include <QObject>

namespace audiostream {

// Runs `deliver` later in `owner`'s thread if run `run` is still the current one there (`current`,
// a member of `owner`, read in that thread): what a run replaced by the next still has on its way
// must not reach the display of that one.
template<typename Deliver>
void postIfCurrent(QObject* owner, const int& current, int run, Deliver deliver)
{
    QMetaObject::invokeMethod(
        owner,
        [&current, run, deliver = std::move(deliver)] {
            if (run == current) {
                deliver();
            }
        },
        Qt::QueuedConnection);
}

} // namespace audiostream

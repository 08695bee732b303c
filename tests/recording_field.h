// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon.h"

// A report field that remembers how often it was written.
class RecordingField : public beacon::TextField
{
public:
    explicit RecordingField(QString initial = {})
        : m_text(std::move(initial))
    {
    }

    QString text() const override { return m_text; }
    void setText(const QString& text) override
    {
        m_text = text;
        ++writes;
    }

    int writes = 0;

private:
    QString m_text;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QStringView>

#include <optional>
#include <span>

namespace beacon {

// One report line and the symbol that selects it.
struct FieldRow
{
    char16_t symbol;
    QStringView text;
};

// A decoded frame position: its rows, and the line for any character no row has.
struct FieldTable
{
    int position; // 1-based, in the frame
    QStringView name; // the label each of its texts starts with, before ": "
    std::span<const FieldRow> rows;
    QStringView fallback;
};

// The twelve decoded fields in report order.
std::span<const FieldTable> fieldTables();

// The row whose symbol is `symbol`, or nullptr when the fallback applies.
const FieldRow* findRow(const FieldTable& table, QChar symbol);

// The report line for `symbol`: total, every character gives exactly one text.
QStringView fieldText(const FieldTable& table, QChar symbol);

// The report line for `symbol` without the field's name and the ": " after it.
QStringView fieldValue(const FieldTable& table, QChar symbol);

// The level of `symbol` when it is within the field's range, else nothing.
std::optional<int> fieldLevel(const FieldTable& table, QChar symbol);

} // namespace beacon

// SPDX-License-Identifier: GPL-3.0-or-later
#include "field_table.h"

#include "level_code.h"

#include <algorithm>

namespace beacon {

const FieldRow* findRow(const FieldTable& table, QChar symbol)
{
    const auto it = std::ranges::find(table.rows, symbol.unicode(), &FieldRow::symbol);
    return it == table.rows.end() ? nullptr : &*it;
}

QStringView fieldText(const FieldTable& table, QChar symbol)
{
    const FieldRow* row = findRow(table, symbol);
    return row ? row->text : table.fallback;
}

QStringView fieldValue(const FieldTable& table, QChar symbol)
{
    constexpr qsizetype separatorLength = 2; // ": "
    return fieldText(table, symbol).sliced(table.name.size() + separatorLength);
}

std::optional<int> fieldLevel(const FieldTable& table, QChar symbol)
{
    return findRow(table, symbol) ? levelOf(symbol) : std::nullopt;
}

} // namespace beacon

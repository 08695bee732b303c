// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_table_model.h"

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// A column: its header, its text, and how two entries compare in it. More columns (the upload
// state, say) are more rows here.
struct Column
{
    QString header;
    std::function<QVariant(const logbook::Entry&)> text;
    std::function<bool(const logbook::Entry&, const logbook::Entry&)> less;
};

QVariant number(const std::optional<double>& value, int decimals)
{
    return value ? QVariant(QString::number(*value, 'f', decimals)) : QVariant();
}

bool lessOptional(const std::optional<double>& a, const std::optional<double>& b)
{
    // Unmeasured sorts first.
    return b && (!a || *a < *b);
}

template<auto Member>
Column measured(const QString& header, int decimals)
{
    return { header, [=](const logbook::Entry& e) { return number(e.*Member, decimals); },
        [](const logbook::Entry& a, const logbook::Entry& b) { return lessOptional(a.*Member, b.*Member); } };
}

template<auto Member>
Column text(const QString& header)
{
    return { header, [](const logbook::Entry& e) { return QVariant(e.*Member); },
        [](const logbook::Entry& a, const logbook::Entry& b) { return a.*Member < b.*Member; } };
}

const std::vector<Column>& columns()
{
    static const std::vector<Column> all {
        { u"UTC"_s,
            [](const logbook::Entry& e) { return QVariant(e.utc.toString(u"yyyy-MM-dd HH:mm:ss.zzz"_s)); },
            [](const logbook::Entry& a, const logbook::Entry& b) { return a.utc < b.utc; } },
        text<&logbook::Entry::beacon>(u"Beacon"_s),
        text<&logbook::Entry::source>(u"Source"_s),
        text<&logbook::Entry::file>(u"File"_s),
        measured<&logbook::Entry::offsetS>(u"Offset (s)"_s, 2),
        measured<&logbook::Entry::wpm>(u"WPM"_s, 1),
        measured<&logbook::Entry::toneHz>(u"Tone (Hz)"_s, 1),
        measured<&logbook::Entry::snrDb>(u"SNR (dB)"_s, 1),
        measured<&logbook::Entry::minConfidence>(u"Lowest confidence"_s, 3),
        text<&logbook::Entry::callsign>(u"Callsign"_s),
    };
    return all;
}

} // namespace

int BeaconTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int BeaconTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns().size());
}

QVariant BeaconTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    return columns().at(std::size_t(index.column())).text(entry(index.row()));
}

QVariant BeaconTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return columns().at(std::size_t(section)).header;
}

void BeaconTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount()) {
        return;
    }
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const auto& less = columns().at(std::size_t(column)).less;
    // Ties keep the log's order (by id) whichever way the column is sorted.
    const auto before = [&](const logbook::Entry& a, const logbook::Entry& b) {
        if (order == Qt::AscendingOrder) {
            return less(a, b) || (!less(b, a) && a.id < b.id);
        }
        return less(b, a) || (!less(a, b) && a.id < b.id);
    };
    // The log arrives in time order, which is what the table shows first.
    if (!std::ranges::is_sorted(m_entries, before)) {
        std::ranges::stable_sort(m_entries, before);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void BeaconTableModel::setEntries(std::vector<logbook::Entry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
    sort(m_sortColumn, m_sortOrder);
}

void BeaconTableModel::appendEntries(const std::vector<logbook::Entry>& entries)
{
    if (entries.empty()) {
        return;
    }
    beginInsertRows({}, rowCount(), rowCount() + int(entries.size()) - 1);
    m_entries.insert(m_entries.end(), entries.begin(), entries.end());
    endInsertRows();
    sort(m_sortColumn, m_sortOrder);
}

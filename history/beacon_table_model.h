// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook.h"

#include <QAbstractTableModel>

#include <vector>

// The logged beacons as table rows, one column a value of the log. Sorting happens here rather
// than in a proxy: comparing the entries themselves keeps 100,000 rows quick to sort.
class BeaconTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Replaces every row, keeping the current sort.
    void setEntries(std::vector<logbook::Entry> entries);
    // Adds rows logged since, keeping the current sort.
    void appendEntries(const std::vector<logbook::Entry>& entries);

    const logbook::Entry& entry(int row) const { return m_entries.at(std::size_t(row)); }
    // In the order shown.
    const std::vector<logbook::Entry>& entries() const { return m_entries; }

private:
    std::vector<logbook::Entry> m_entries;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

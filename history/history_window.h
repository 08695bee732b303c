// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook.h"

#include <QMainWindow>
#include <QThread>

#include <vector>

class BeaconTableModel;
class HistoryLoader;
class QAction;
class QCheckBox;
class QChart;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QMenu;
class QTableView;
class QTimer;
class QToolBar;

// The beacon log as a table (sortable, filtered by time and source) and a plot of one field's
// level against time; exports CSV and deletes entries. Follows the log while others write to it.
class HistoryWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit HistoryWindow(const QString& logPath, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Adds History... (Ctrl+H) to `menu`; it opens one History window on `logPath` over `owner`.
    static QAction* addMenuEntry(QMenu* menu, QWidget* owner, const QString& logPath);

    QList<qint64> selectedIds() const;
    // Where more commands on the selected entries go.
    QToolBar* entriesToolBar() const { return m_toolBar; }

    // How long the window polls the log for new entries.
    static constexpr int pollMs = 1000;

signals:
    // The table and the plot show the log as read; `count` rows.
    void shown(int count);

private:
    void createControls();
    void createMenus();

    void applyFilter();
    void showEntries(const std::vector<logbook::Entry>& entries);
    void addEntries(const std::vector<logbook::Entry>& entries);
    void plotField();
    void exportCsv();
    void deleteSelected();
    void showMessage(const QString& message);

    QThread m_thread;
    HistoryLoader* m_loader;
    BeaconTableModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QCheckBox* m_fromOn = nullptr;
    QCheckBox* m_toOn = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QComboBox* m_source = nullptr;
    QComboBox* m_field = nullptr;
    QChart* m_chart = nullptr;
    QLabel* m_count = nullptr;
    QToolBar* m_toolBar = nullptr;
    QAction* m_delete = nullptr;
    QTimer* m_poll = nullptr;
};

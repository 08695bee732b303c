// SPDX-License-Identifier: GPL-3.0-or-later
#include "history_window.h"

#include "beacon_table_model.h"
#include "field_table.h"
#include "history_loader.h"
#include "level_series.h"

#include <QAction>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScatterSeries>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QStringList sourceNames { u"typed"_s, u"recording"_s, u"soundcard"_s, u"udp"_s, u"text"_s };

} // namespace

HistoryWindow::HistoryWindow(const QString& logPath, QWidget* parent)
    : QMainWindow(parent)
    , m_loader(new HistoryLoader(logPath))
{
    setObjectName(u"HistoryWindow"_s);
    setWindowTitle(u"History \u2014 %1"_s.arg(logPath));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_loader->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_loader, &QObject::deleteLater);
    connect(m_loader, &HistoryLoader::loaded, this, &HistoryWindow::showEntries);
    connect(m_loader, &HistoryLoader::appended, this, &HistoryWindow::addEntries);
    connect(m_loader, &HistoryLoader::failed, this, &HistoryWindow::showMessage);
    connect(m_loader, &HistoryLoader::exported, this, [this](const QString& path, qsizetype count) {
        showMessage(u"%1 entries written to %2"_s.arg(count).arg(path));
    });
    m_thread.setObjectName(u"history loader"_s);
    m_thread.start();

    createControls();
    createMenus();

    m_poll = new QTimer(this);
    m_poll->setInterval(pollMs);
    connect(m_poll, &QTimer::timeout, this,
        [this] { QMetaObject::invokeMethod(m_loader, [loader = m_loader] { loader->poll(); }); });
    m_poll->start();
    applyFilter();
}

HistoryWindow::~HistoryWindow()
{
    m_thread.quit();
    m_thread.wait();
}

QAction* HistoryWindow::addMenuEntry(QMenu* menu, QWidget* owner, const QString& logPath)
{
    QAction* action = menu->addAction(u"History\u2026"_s);
    action->setObjectName(u"MnuHistory"_s);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    QObject::connect(action, &QAction::triggered, owner, [owner, logPath] {
        auto* window = owner->findChild<HistoryWindow*>(u"HistoryWindow"_s, Qt::FindDirectChildrenOnly);
        if (!window) {
            window = new HistoryWindow(logPath, owner);
            window->setWindowFlag(Qt::Window);
            window->resize(1100, 780);
        }
        window->show();
        window->raise();
        window->activateWindow();
    });
    return action;
}

void HistoryWindow::createControls()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* filters = new QHBoxLayout;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto timeEdit = [&](const QString& name, const QDateTime& initial) {
        auto* edit = new QDateTimeEdit(initial, central);
        edit->setObjectName(name);
        edit->setTimeSpec(Qt::UTC);
        edit->setDisplayFormat(u"yyyy-MM-dd HH:mm:ss 'UTC'"_s);
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        return edit;
    };
    m_fromOn = new QCheckBox(u"From"_s, central);
    m_from = timeEdit(u"FromTime"_s, now.addDays(-7));
    m_toOn = new QCheckBox(u"to"_s, central);
    m_to = timeEdit(u"ToTime"_s, now);
    m_source = new QComboBox(central);
    m_source->setObjectName(u"SourceChoice"_s);
    m_source->addItem(u"All sources"_s);
    m_source->addItems(sourceNames);
    filters->addWidget(m_fromOn);
    filters->addWidget(m_from);
    filters->addWidget(m_toOn);
    filters->addWidget(m_to);
    filters->addWidget(m_source);
    filters->addStretch();
    layout->addLayout(filters);

    auto* splitter = new QSplitter(Qt::Vertical, central);
    m_model = new BeaconTableModel(this);
    m_table = new QTableView(splitter);
    m_table->setObjectName(u"HistoryTable"_s);
    m_table->setModel(m_model);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(0, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Fixed widths: fitting to the contents would read every one of 100,000 rows.
    m_table->horizontalHeader()->setDefaultSectionSize(
        m_table->fontMetrics().horizontalAdvance(u"0000000.0"_s) + 16);
    for (const int column : { 0, 1 }) {
        m_table->setColumnWidth(
            column, m_table->fontMetrics().horizontalAdvance(u"2026-12-07 10:21:33.560"_s) + 16);
    }

    auto* plotArea = new QWidget(splitter);
    auto* plotLayout = new QVBoxLayout(plotArea);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    m_field = new QComboBox(plotArea);
    m_field->setObjectName(u"FieldChoice"_s);
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        m_field->addItem(table.name.toString());
    }
    m_field->setCurrentIndex(1); // battery charge: what listeners look at first
    m_chart = new QChart;
    m_chart->legend()->hide();
    auto* chartView = new QChartView(m_chart, plotArea);
    chartView->setObjectName(u"HistoryChart"_s);
    chartView->setRenderHint(QPainter::Antialiasing);
    plotLayout->addWidget(m_field);
    plotLayout->addWidget(chartView, 1);
    splitter->addWidget(m_table);
    splitter->addWidget(plotArea);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    m_toolBar = addToolBar(u"Entries"_s);
    m_toolBar->setObjectName(u"HistoryToolBar"_s);
    m_count = new QLabel(this);
    statusBar()->addPermanentWidget(m_count);

    connect(m_fromOn, &QCheckBox::toggled, m_from, &QWidget::setEnabled);
    connect(m_toOn, &QCheckBox::toggled, m_to, &QWidget::setEnabled);
    for (QCheckBox* box : { m_fromOn, m_toOn }) {
        connect(box, &QCheckBox::toggled, this, &HistoryWindow::applyFilter);
    }
    for (QDateTimeEdit* edit : { m_from, m_to }) {
        connect(edit, &QDateTimeEdit::editingFinished, this, &HistoryWindow::applyFilter);
    }
    connect(m_source, &QComboBox::currentIndexChanged, this, &HistoryWindow::applyFilter);
    connect(m_field, &QComboBox::currentIndexChanged, this, &HistoryWindow::plotField);
}

void HistoryWindow::createMenus()
{
    QMenu* mnuFile = menuBar()->addMenu(u"&File"_s);
    mnuFile->setObjectName(u"MnuHistoryFile"_s);
    QAction* exportAction = mnuFile->addAction(u"&Export CSV\u2026"_s);
    exportAction->setObjectName(u"MnuExportCsv"_s);
    connect(exportAction, &QAction::triggered, this, &HistoryWindow::exportCsv);
    mnuFile->addSeparator();
    QAction* closeAction = mnuFile->addAction(u"&Close"_s);
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);

    QMenu* mnuEdit = menuBar()->addMenu(u"&Edit"_s);
    m_delete = mnuEdit->addAction(u"&Delete Entries"_s);
    m_delete->setObjectName(u"MnuDeleteEntries"_s);
    m_delete->setShortcut(QKeySequence::Delete);
    connect(m_delete, &QAction::triggered, this, &HistoryWindow::deleteSelected);
    m_toolBar->addAction(exportAction);
    m_toolBar->addAction(m_delete);
}

QList<qint64> HistoryWindow::selectedIds() const
{
    QList<qint64> ids;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        ids << m_model->entry(index.row()).id;
    }
    return ids;
}

void HistoryWindow::applyFilter()
{
    logbook::Filter f;
    if (m_fromOn->isChecked()) {
        f.from = m_from->dateTime();
    }
    if (m_toOn->isChecked()) {
        f.to = m_to->dateTime();
    }
    if (m_source->currentIndex() > 0) {
        f.sources = { m_source->currentText() };
    }
    QMetaObject::invokeMethod(m_loader, [loader = m_loader, f] { loader->load(f); });
}

void HistoryWindow::showEntries(const std::vector<logbook::Entry>& entries)
{
    m_model->setEntries(entries);
    plotField();
    m_count->setText(u"%1 beacons"_s.arg(m_model->rowCount()));
    emit shown(m_model->rowCount());
}

void HistoryWindow::addEntries(const std::vector<logbook::Entry>& entries)
{
    m_model->appendEntries(entries);
    plotField();
    m_count->setText(u"%1 beacons"_s.arg(m_model->rowCount()));
    emit shown(m_model->rowCount());
}

void HistoryWindow::plotField()
{
    const int index = m_field->currentIndex();
    if (index < 0) {
        return;
    }
    const beacon::FieldTable& field = beacon::fieldTables()[std::size_t(index)];
    m_chart->removeAllSeries();
    for (QAbstractAxis* axis : m_chart->axes()) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    // Points rather than a line: a line would draw made-up levels across the hours between passes.
    auto* series = new QScatterSeries;
    series->setObjectName(u"LevelSeries"_s);
    series->setMarkerSize(5.0);
    series->setBorderColor(Qt::transparent);
    QList<QPointF> points = thinForDisplay(levelPoints(m_model->entries(), field), std::max(width(), 2000));
    // QDateTimeAxis labels in local time; moving each point by the local offset makes them read UTC.
    const QDateTime reference = points.isEmpty() ? QDateTime::currentDateTime()
                                                 : QDateTime::fromMSecsSinceEpoch(qint64(points.last().x()));
    const double offsetMs = reference.offsetFromUtc() * 1000.0;
    for (QPointF& point : points) {
        point.rx() -= offsetMs;
    }
    // Themed while still empty: the theme touches every marker.
    m_chart->addSeries(series);
    series->replace(points);
    m_chart->setTitle(field.name.toString());

    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(u"MM-dd HH:mm"_s);
    timeAxis->setTickCount(8);
    timeAxis->setTitleText(u"UTC"_s);
    if (!points.isEmpty()) {
        // A lone point still needs a span to be drawn in.
        const auto first = qint64(points.first().x());
        const auto last = std::max(qint64(points.last().x()), first + 60000);
        timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
    }
    auto* levelAxis = new QCategoryAxis;
    levelAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    levelAxis->setTruncateLabels(false);
    const auto labels = levelLabels(field);
    for (const auto& [level, text] : labels) {
        levelAxis->append(text, level);
    }
    if (!labels.empty()) {
        levelAxis->setRange(labels.front().first - 0.5, labels.back().first + 0.5);
    }
    m_chart->addAxis(timeAxis, Qt::AlignBottom);
    m_chart->addAxis(levelAxis, Qt::AlignLeft);
    series->attachAxis(timeAxis);
    series->attachAxis(levelAxis);
}

void HistoryWindow::exportCsv()
{
    const QString path =
        QFileDialog::getSaveFileName(this, u"Export CSV"_s, u"beacons.csv"_s, u"CSV (*.csv)"_s);
    if (path.isEmpty()) {
        return;
    }
    QMetaObject::invokeMethod(m_loader,
        [loader = m_loader, path, entries = m_model->entries()] { loader->exportCsv(path, entries); });
}

void HistoryWindow::deleteSelected()
{
    const QList<qint64> ids = selectedIds();
    if (ids.isEmpty()) {
        return;
    }
    const auto answer = QMessageBox::question(this, u"Delete Entries"_s,
        u"Delete %n logged beacon(s)? This cannot be undone."_s.replace(
            u"%n"_s, QString::number(ids.size())));
    if (answer != QMessageBox::Yes) {
        return;
    }
    QMetaObject::invokeMethod(m_loader, [loader = m_loader, ids] { loader->remove(ids); });
}

void HistoryWindow::showMessage(const QString& message)
{
    statusBar()->showMessage(message, 10000);
}

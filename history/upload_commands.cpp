// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload_commands.h"

#include "background_forwarder.h"
#include "beacon_table_model.h"
#include "history_window.h"
#include "station_settings.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

const QString sendName = u"MnuSendSelected"_s;

void showMessage(HistoryWindow* window, const QString& message)
{
    window->statusBar()->showMessage(message, 15000);
}

int countSentAmong(const HistoryWindow* window)
{
    const auto* table = window->findChild<QTableView*>(u"HistoryTable"_s);
    const auto* model = qobject_cast<const BeaconTableModel*>(table->model());
    int sent = 0;
    for (const QModelIndex& index : table->selectionModel()->selectedRows()) {
        sent += model->entry(index.row()).uploadState == u"sent" ? 1 : 0;
    }
    return sent;
}

void sendSelected(HistoryWindow* window, forwarding::BackgroundForwarder* forwarder)
{
    const QList<qint64> ids = window->selectedIds();
    if (ids.isEmpty()) {
        showMessage(window, u"Select the beacons to send first."_s);
        return;
    }
    const forwarding::StationSettings station = forwarding::StationSettings::load();
    if (const QString problems = station.problems(); !problems.isEmpty()) {
        showMessage(
            window, u"Nothing sent: the station settings have %1 (Receive > Station\u2026)."_s.arg(problems));
        return;
    }
    if (const int sent = countSentAmong(window); sent > 0) {
        const auto answer = QMessageBox::question(window, u"Send Selected"_s,
            u"%1 of the %2 selected beacons were sent already. Send them to %3 again?"_s.arg(sent)
                .arg(ids.size())
                .arg(station.sidsUrl.toString()));
        if (answer != QMessageBox::Yes) {
            return;
        }
    }
    showMessage(window, u"Sending %1 beacons to %2\u2026"_s.arg(ids.size()).arg(station.sidsUrl.toString()));
    forwarder->sendNow(ids);
}

} // namespace

QAction* addSendCommand(HistoryWindow* window, forwarding::BackgroundForwarder* forwarder)
{
    auto* action = new QAction(u"Send Selected"_s, window);
    action->setObjectName(sendName);
    action->setToolTip(u"Report the selected beacons to the SiDS server of the station settings, "
                       u"whether forwarding is on or not"_s);
    window->entriesToolBar()->addAction(action);
    // The upload state beside the source, where it is seen without scrolling.
    auto* table = window->findChild<QTableView*>(u"HistoryTable"_s);
    int source = -1;
    int upload = -1;
    for (int column = 0; column < table->model()->columnCount(); ++column) {
        const QString name = table->model()->headerData(column, Qt::Horizontal).toString();
        source = name == u"Source" ? column : source;
        upload = name == u"Upload" ? column : upload;
    }
    if (source >= 0 && upload >= 0) {
        QHeaderView* header = table->horizontalHeader();
        header->moveSection(header->visualIndex(upload), header->visualIndex(source) + 1);
        header->resizeSection(
            upload, table->fontMetrics().horizontalAdvance(u"queued, 10 failed tries"_s) + 12);
    }
    QObject::connect(
        action, &QAction::triggered, window, [window, forwarder] { sendSelected(window, forwarder); });
    QObject::connect(forwarder, &forwarding::BackgroundForwarder::uploadFinished, window,
        [window](qint64 id, forwarding::UploadOutcome outcome, const QString& message) {
            switch (outcome) {
            case forwarding::UploadOutcome::sent:
                showMessage(window, u"Entry %1 sent (%2)."_s.arg(id).arg(message));
                break;
            case forwarding::UploadOutcome::retry:
                showMessage(window, u"Entry %1 not sent yet, tried again later: %2"_s.arg(id).arg(message));
                break;
            case forwarding::UploadOutcome::failed:
                showMessage(window, u"Entry %1 refused: %2"_s.arg(id).arg(message));
                break;
            }
        });
    QObject::connect(forwarder, &forwarding::BackgroundForwarder::cannotSend, window,
        [window](const QString& message) { showMessage(window, message); });
    return action;
}

void addSendCommandOnOpen(QAction* historyEntry, QWidget* owner, forwarding::BackgroundForwarder* forwarder)
{
    // Runs after the entry's own handler, which opens the window.
    QObject::connect(historyEntry, &QAction::triggered, owner, [owner, forwarder] {
        auto* window = owner->findChild<HistoryWindow*>(u"HistoryWindow"_s, Qt::FindDirectChildrenOnly);
        if (window && !window->findChild<QAction*>(sendName)) {
            addSendCommand(window, forwarder);
        }
    });
}

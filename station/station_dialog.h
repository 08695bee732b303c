// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station_settings.h"

#include <QDialog>

#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;

// Edits the station settings and says in plain words what forwarding will send, and where.
class StationDialog : public QDialog
{
    Q_OBJECT

public:
    explicit StationDialog(const forwarding::StationSettings& station, QWidget* parent = nullptr);

    // Adds Station... to `menu`: it opens the dialog over `owner` on the saved settings, saves what
    // is accepted and then calls `saved`.
    static QAction* addMenuEntry(QMenu* menu, QWidget* owner, const std::function<void()>& saved = {});

    // The settings as edited; latitude, longitude and NORAD number are unset where left empty.
    forwarding::StationSettings settings() const;

private:
    void createControls();
    void showSettings(const forwarding::StationSettings& station);

    void locatorEdited();
    void defaultUrlClicked();
    void updateSummary();

    forwarding::StationSettings m_original;
    QLineEdit* callsignEdit = nullptr;
    QLineEdit* latitudeEdit = nullptr;
    QLineEdit* longitudeEdit = nullptr;
    QLineEdit* locatorEdit = nullptr;
    QLineEdit* noradEdit = nullptr;
    QLineEdit* urlEdit = nullptr;
    QCheckBox* forwardingCheck = nullptr;
    QLabel* summaryLabel = nullptr;
};

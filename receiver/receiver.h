// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cw_audio.h"
#include "live_decoder.h"
#include "receiver_settings.h"
#include "recording_decoder.h"

#include <QDateTime>
#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;
class Waterfall;

// A beacon the Receiver found, with where and when.
struct FoundBeacon
{
    cwaudio::AudioBeacon heard;
    QDateTime utc; // its first mark
    QString source; // soundcard | udp | recording
    QString file; // the recording, for source "recording"
};

// The receiving station: audio from a sound card, an SDR program's UDP stream or a recording,
// a waterfall to see and pick the tone, the decoded text and the beacons found. All audio work
// runs in a decoding thread; this window only shows what arrives.
class Receiver : public QMainWindow
{
    Q_OBJECT

public:
    explicit Receiver(QWidget* parent = nullptr);
    ~Receiver() override;

    // Decodes the recording at `path` as the chosen source.
    void openRecording(const QString& path);
    // Starts the chosen source (a recording: decodes it); stops what ran before.
    void start();
    // Stops listening, or cancels the recording being decoded.
    void stop();
    // Listens to a source `factory` makes; `kind` is what the beacon list calls it.
    void listen(audiostream::LiveDecoder::SourceFactory factory, const QString& kind);

    // File dialog filters for recordings, anything libsndfile reads first.
    static QStringList recordingFilters();

    bool isBusy() const { return m_live.isRunning() || m_recordingBusy; }
    QString message() const;

signals:
    // Each beacon found while "show in the main window" is on.
    void beaconForMainWindow(const QString& beacon);
    void beaconFound(const FoundBeacon& beacon);
    // Listening or decoding has ended (for whatever reason): Start works again.
    void idle();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createMenus();

    void sourceChosen();
    void startClicked();
    void browseClicked();
    void startTimeEdited();
    void toneClicked(double hz);
    void autoToneClicked();
    void decodeRecordingAgain(const QString& how);

    void liveStarted(const QString& sourceName, double sampleRate);
    void liveStopped(const QString& message);
    void liveBeacon(const cwaudio::AudioBeacon& beacon, const QDateTime& utc);
    void recordingOpened(const QString& path, double durationSeconds, double sampleRate);
    void recordingProgress(double seconds, double durationSeconds);
    void recordingBeacon(const cwaudio::AudioBeacon& beacon);
    void recordingFinished(audiostream::RecordingDecoder::Outcome outcome, const QString& message);
    void showText(const QString& text, const QList<float>& confidence);
    void showStatus(const cwaudio::DecoderStatus& status);

    void addBeacon(const FoundBeacon& found, bool fromCurrentRecording);
    void beginRun();
    void setBusy(bool busy);
    void setMessage(const QString& text, bool error = false);
    void fillDevices();
    void storeSettings();

    audiostream::LiveDecoder m_live;
    audiostream::RecordingDecoder m_recording;
    ReceiverSettings m_settings;
    QString m_liveKind;
    QString m_listening; // the message while listening goes well
    bool m_recordingBusy = false;
    bool m_recordingShown = false; // the waterfall and list show a recording, not live audio
    QString m_recordingPath;

    QComboBox* sourceBox = nullptr;
    QStackedWidget* sourceDetails = nullptr;
    QComboBox* deviceBox = nullptr;
    QLineEdit* hostEdit = nullptr;
    QSpinBox* portBox = nullptr;
    QSpinBox* rateBox = nullptr;
    QLineEdit* pathEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QPushButton* startButton = nullptr;
    Waterfall* waterfall = nullptr;
    QProgressBar* snrMeter = nullptr;
    QLabel* toneLabel = nullptr;
    QLabel* wpmLabel = nullptr;
    QPushButton* autoToneButton = nullptr;
    QWidget* recordingRow = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* cancelButton = nullptr;
    QDateTimeEdit* startTimeEdit = nullptr;
    QPlainTextEdit* rawText = nullptr;
    QTreeWidget* beaconList = nullptr;
    QCheckBox* toMainWindow = nullptr;
    QLabel* messageLabel = nullptr;
};

#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QTabWidget;
class TMainControl;
class TScanFrameWidget;
class TServiceTablesWrapper;
class TSettingsWrapper;

// "Tunora - Options": the settings on pages (About, the hidden Bug page, General, Record, Timer,
// HTTP Server, Frequency, Scan) with Save, Cancel and Apply. Shows the stored settings when
// opened and writes them all on Save or Apply; then the bar takes the new display settings and
// the HTTP server is restarted when its port changed. The Frequency page picks the ensembles a
// scan visits; the Scan page runs one. At most one exists, held in OptionsForm; it frees itself
// when closed (Escape and the close box close it without saving). Main thread only.
class TOptionsForm : public QWidget {
    Q_OBJECT

public:
    enum Page {
        AboutPage,
        BugPage,
        GeneralPage,
        RecordPage,
        TimerPage,
        HTTPServerPage,
        FrequencyPage,
        ScanPage,
        PageCount
    };
    // The command of the window's own "&What it this then?" item.
    static constexpr int kWhatItThisCommand = 14101;
    // How often the Scan page's Start follows the recordings and streams (ms).
    static constexpr int kBusyInterval = 250;

    // Creates and shows the window (owned by `owner`, e.g. the bar), or brings the open one
    // forward. Not modal.
    static TOptionsForm* ShowOptions(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                                     TMainControl& control, QWidget* owner);
    ~TOptionsForm() override;

    // Writes every setting, stores the changed ensemble ticks, tells the bar, restarts the HTTP
    // server when the port changed. Refused machine-wide writes are ignored; a refused per-user
    // write (RegistryError) reaches the caller.
    void SaveSettings();
    void SaveButtonClick();
    void CancelButtonClick();
    void ApplyButtonClick();
    void SelectAllButtonClick();
    void SelectNoneButtonClick();
    // "Rebuild >" menu: channel set 0 (UK), 1 (Band III & L-Band) or 2 (Canada).
    void RebuildTable(int channelSet);
    void StartButtonClick();
    void ScanCancelButtonClick();
    // The scan frame's end notice (message 1026).
    void ScanEnded();
    // A system command of the window's own menu: 14101 reveals and shows the Bug page; any other
    // is not handled (false).
    bool SystemCommand(int command);
    // Empties and refills the ensemble list from the tables; FrequenciesChanged becomes false.
    void FillFrequencyList();

    bool FrequenciesChanged() const { return frequenciesChanged_; }

    QTabWidget* PageControl;
    QPushButton* SaveButton;
    QPushButton* CancelButton;
    QPushButton* ApplyButton;
    // General.
    QCheckBox* PlayOnStartupCheck;
    QCheckBox* ShowAudioInfoCheck;
    QCheckBox* ChangeTaskBarIconCheck;
    QComboBox* QuickMenuCombo;
    QComboBox* RecentCountCombo;
    QComboBox* ScrollSpeedCombo;
    QCheckBox* SmoothScrollCheck;
    // Record.
    QComboBox* ExtensionCombo;
    QComboBox* BitRateCombo;
    QComboBox* SampleRateCombo;
    QLabel* RecoderNote;
    // Timer.
    QCheckBox* TimerEnabledCheck;
    QPushButton* EditScheduleButton;
    // HTTP Server.
    QLineEdit* PortEdit;
    QLineEdit* PasswordEdit;
    QCheckBox* MaskCheck;
    // Frequency.
    QListWidget* FrequencyList;
    QPushButton* SelectAllButton;
    QPushButton* SelectNoneButton;
    QPushButton* RebuildButton;
    QMenu* RebuildMenu;
    // Scan.
    TScanFrameWidget* ScanFrame1;
    QPushButton* StartButton;
    QPushButton* ScanCancelButton;
    // The window's own menu with "&What it this then?", opened by a right click.
    QMenu* WindowMenu;
    QAction* WhatItThisAction;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TOptionsForm(TServiceTablesWrapper& tables, TSettingsWrapper& settings, TMainControl& control,
                 QWidget* owner);
    QWidget* MakeAboutPage();
    QWidget* MakeBugPage();
    QWidget* MakeGeneralPage();
    QWidget* MakeRecordPage();
    QWidget* MakeTimerPage();
    QWidget* MakeHTTPServerPage();
    QWidget* MakeFrequencyPage();
    QWidget* MakeScanPage();
    void ShowSettings();
    // The three machine-wide controls from the store, so a refused write shows.
    void ShowMachineSettings();
    void StoreFrequencies();
    void SetAllTicks(bool ticked);
    void FrequencyItemChanged();
    void EditScheduleButtonClick();
    void MaskCheckClick();
    void PageChanging(int index);
    // Buttons and pages while a scan runs (on) or not.
    void ShowScanning(bool on);
    void FollowBusy();

    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TMainControl& control_;
    QTimer busyTimer_;
    bool frequenciesChanged_ = false;
    // The window changed the ensemble table since it was last saved to its file.
    bool tableChanged_ = false;
    bool filling_ = false;
    bool scanning_ = false;
};

// The open options window, null when there is none.
extern TOptionsForm* OptionsForm;

#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include "services/TListEntry.h"

class TMainControl;
class TServiceTablesWrapper;

// A channel scan: visits every included frequency of the ensemble table through the tuning
// controller, waits up to 80 ticks of 100 ms for each to settle and logs the outcome line by
// line. The controller merges and saves each ensemble it completes; the scan only drives the
// sequence, may empty the service table first, and saves (complete) or reloads (cancelled) the
// tables at the end.
//
// Holds the log and the progress (0 to 80) that a window shows; the window follows the signals.
// Main thread only (debug builds assert it); nothing here blocks.
class TScanFrame : public QObject {
    Q_OBJECT

public:
    // The end notice the frame gives its owner window (first user message + 2).
    static constexpr int kScanEndedMessage = 1026;
    static constexpr int kProgressMaximum = 80;

    // The collaborators are not owned and must outlive the frame.
    TScanFrame(TMainControl& control, TServiceTablesWrapper& tables, QObject* parent = nullptr);
    // A frame destroyed while scanning cancels its scan.
    ~TScanFrame() override;

    // False, after an "Already scanning." box, when another scan holds the receiver.
    bool StartScan();
    // Ends a running scan as cancelled; does nothing while idle.
    void CancelScan();
    // The 100 ms tick; public so tests can drive the scan without an event loop.
    void TheTimerTimer();
    // A click at `x` pixels on a progress bar `barWidth` pixels wide moves the progress there.
    void ProgressBarClick(int x, int barWidth);

    bool IsScanning() const { return Scanning; }
    bool IsTimerActive() const { return TheTimer.isActive(); }
    // The frequencies still to visit; each entry's object is the frequency in kHz.
    const TListEntries& GetWorkList() const { return WorkList; }
    const QStringList& Lines() const { return TheMemo; }
    int Position() const { return position_; }
    int Maximum() const { return maximum_; }

signals:
    void LineAdded(const QString& line);
    void LogCleared();
    void ProgressChanged(int position, int maximum);
    // The end notice (kScanEndedMessage): sent while the scan still counts as running, before
    // the tables are saved or reloaded.
    void ScanEnded();

private:
    void AssertMainThread() const;
    void BeginSearch();
    void ScanNext();
    void FinishScan(bool cancelled);
    void TickTuneAway();
    void TickSearch();
    void AddLine(const QString& line);
    void SetPosition(int position);

    TMainControl& control_;
    TServiceTablesWrapper& tables_;

    QTimer TheTimer;
    QStringList TheMemo;
    int position_ = 0;
    int maximum_ = kProgressMaximum;
    TListEntries WorkList;
    bool Scanning = false;
    // The single-frequency scan first tunes away and waits 80 ticks before searching.
    bool tuningAway_ = false;
};

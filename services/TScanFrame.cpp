#include "services/TScanFrame.h"

#include <QThread>
#include <algorithm>
#include <exception>

#include "platform/Dialogs.h"
#include "receiver/TMainControl.h"
#include "services/ChannelTable.h"
#include "services/TServiceTablesWrapper.h"

namespace {

constexpr int kTimerInterval = 100;  // ms

}  // namespace

TScanFrame::TScanFrame(TMainControl& control, TServiceTablesWrapper& tables, QObject* parent)
    : QObject(parent), control_(control), tables_(tables) {
    TheTimer.setInterval(kTimerInterval);
    connect(&TheTimer, &QTimer::timeout, this, &TScanFrame::TheTimerTimer);
}

TScanFrame::~TScanFrame() {
    // Nobody listens any more: only the controller's lock and the tables need putting right.
    blockSignals(true);
    CancelScan();
}

void TScanFrame::AssertMainThread() const {
    Q_ASSERT(QThread::currentThread() == thread());
}

bool TScanFrame::StartScan() {
    AssertMainThread();
    if (control_.GetScanLock()) {
        Dialogs::Instance().MessageBox(DialogKind::Error, QStringLiteral("Already scanning."),
                                       DialogButtons::Abort);
        return false;
    }
    Scanning = true;
    control_.SetScanLock(true);
    maximum_ = kProgressMaximum;
    SetPosition(0);

    bool clear = true;
    if (tables_.CountServices(u'A') != 0) {
        clear = Dialogs::Instance().MessageBox(
                    DialogKind::Confirmation,
                    QStringLiteral("Do you want to remove absent services from Tunora?"),
                    DialogButtons::YesNo) == DialogResult::Yes;
        // The box ran an event loop in which the scan may have been cancelled.
        if (!Scanning) {
            return true;
        }
    }
    if (clear) {
        tables_.ClearServices();
    }

    tables_.ListEnsembles(WorkList, false, false);

    // The receiver reports nothing new for the frequency it is on: scan another one first, or
    // tune away and give the receiver the time of one whole frequency to leave it.
    if (!WorkList.isEmpty() && WorkList.first().Object / 1000.0 == control_.TunedFrequency()) {
        if (WorkList.size() >= 2) {
            WorkList.swapItemsAt(0, 1);
        } else {
            // Away to 11B, or to 12D from 11B itself.
            const double channel11B = BandIIIFrequency("11B");
            // Only to leave the frequency: what the receiver finds there is not merged, so an
            // excluded or unknown channel never enters the tables.
            control_.TuneAway(control_.TunedFrequency() == channel11B ? BandIIIFrequency("12D")
                                                                      : channel11B);
            // The wait runs from the timer so that the main thread keeps serving the label
            // drawer and the HTTP sessions; BeginSearch follows its 80th tick.
            tuningAway_ = true;
            TheTimer.start();
            return true;
        }
    }
    BeginSearch();
    return true;
}

void TScanFrame::BeginSearch() {
    SetPosition(0);
    TheMemo.clear();
    emit LogCleared();
    AddLine(QStringLiteral("Searching for multiplexes..."));
    AddLine(QString());
    ScanNext();
    if (Scanning) {
        TheTimer.start();
    }
}

void TScanFrame::CancelScan() {
    AssertMainThread();
    if (Scanning) {
        FinishScan(true);
    }
}

void TScanFrame::ScanNext() {
    while (Scanning) {
        if (WorkList.isEmpty()) {
            FinishScan(false);
            return;
        }
        bool accepted = false;
        try {
            accepted = control_.TuneFrequency(WorkList.first().Object / 1000.0);
        } catch (const std::exception& e) {
            // A receiver failure counts as a refused tune; the user hears why.
            Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(e.what()),
                                           DialogButtons::Ok);
        }
        if (!Scanning) {
            return;  // cancelled while the refusal was shown
        }
        if (accepted) {
            SetPosition(0);
            return;
        }
        AddLine(QStringLiteral("Tuning error ..."));
        WorkList.removeFirst();
    }
}

void TScanFrame::TheTimerTimer() {
    AssertMainThread();
    if (!Scanning) {
        TheTimer.stop();
        return;
    }
    TheTimer.stop();
    try {
        if (tuningAway_) {
            TickTuneAway();
        } else {
            TickSearch();
        }
    } catch (const std::exception& e) {
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(e.what()),
                                       DialogButtons::Ok);
    }
    if (Scanning && !TheTimer.isActive()) {
        TheTimer.start();
    }
}

void TScanFrame::TickTuneAway() {
    SetPosition(position_ + 1);
    if (position_ >= maximum_) {
        tuningAway_ = false;
        BeginSearch();
    }
}

void TScanFrame::TickSearch() {
    SetPosition(position_ + 1);
    if (control_.IsSettled()) {
        QString label;
        try {
            label = control_.EnsembleLabel();
        } catch (const std::exception& e) {
            // The ensemble was found all the same; the scan must not stall on its label.
            Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(e.what()),
                                           DialogButtons::Ok);
        }
        AddLine(label + QStringLiteral(" found."));
    } else if (position_ >= maximum_) {
        AddLine(tables_.GetChannelName(control_.TunedFrequency()) + QStringLiteral(" not found."));
    } else {
        return;
    }
    if (!WorkList.isEmpty()) {
        WorkList.removeFirst();
    }
    ScanNext();
}

void TScanFrame::ProgressBarClick(int x, int barWidth) {
    AssertMainThread();
    if (barWidth <= 0) {
        return;
    }
    SetPosition(qRound(static_cast<double>(maximum_) / barWidth * x));
}

void TScanFrame::FinishScan(bool cancelled) {
    TheTimer.stop();
    tuningAway_ = false;
    AddLine(QString());
    AddLine(cancelled ? QStringLiteral("Scan cancelled.") : QStringLiteral("Scan complete."));
    emit ScanEnded();
    control_.SetScanLock(false);
    Scanning = false;
    SetPosition(0);
    if (cancelled) {
        // Back to what was last saved; the controller saved after every ensemble found.
        tables_.LoadTables();
        // A first run has never saved its channel list: without this, a scan cancelled
        // before anything was found would leave nothing to scan again.
        if (tables_.Ensembles().isEmpty()) {
            tables_.BuildChannelTable(ChannelSetUK);
        }
    } else {
        tables_.SaveTables();
    }
}

void TScanFrame::AddLine(const QString& line) {
    TheMemo.append(line);
    emit LineAdded(line);
}

void TScanFrame::SetPosition(int position) {
    // A progress bar keeps its position within its range.
    position_ = std::clamp(position, 0, maximum_);
    emit ProgressChanged(position_, maximum_);
}

// tunora-scan: the channel scan without a window, for machines without a display. Runs the same
// scan as the scan window over the registered receiver and the program's tables, and prints its
// log. With --first-run it scans only while the tables hold no audio service, so a user's own
// tables are never touched; that is how a headless first start gets the services of its air.
// Without a display nobody can answer the scan's question whether to remove services no longer
// on air (it takes No): --remove-absent answers Yes.
// Exit status: 0 scanned, 1 failed, 2 usage, 3 (--first-run) nothing to do.

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "receiver/TMainControl.h"
#include "receiver/TReceiverComponent.h"
#include "receiver/TViaDABWrapper.h"
#include "services/TScanFrame.h"
#include "services/TServiceTablesWrapper.h"

namespace {

constexpr int kNothingToDo = 3;

struct Options {
    bool firstRun = false;
    bool removeAbsent = false;
};

int Scan(const Options& options) {
    const bool firstRun = options.firstRun;
    if (!TReceiverComponent::IsInstalled()) {
        std::fprintf(stderr, "tunora-scan: no receiver component is registered.\n");
        return 1;
    }
    // Tunora itself owns the receiver and the tables while it runs.
    InstanceLock lock;
    if (!lock.TryAcquire()) {
        std::fprintf(stderr, "tunora-scan: Tunora is running; scan from its bar instead.\n");
        return firstRun ? kNothingToDo : 1;
    }

    TServiceTablesWrapper tables(ProgramFolder::Path(), Dialogs::Instance());
    if (firstRun && tables.CountServices(u'A') != 0) {
        return kNothingToDo;
    }
    if (options.removeAbsent) {
        // A table without audio services is emptied by the scan without asking: that is its
        // answer Yes.
        tables.ClearServices();
    }
    TViaDABWrapper wrapper([] { return TReceiverComponent::CreateRegistered(); });
    TMainControl control(wrapper, tables);
    TScanFrame frame(control, tables);
    QObject::connect(&frame, &TScanFrame::LineAdded, [](const QString& line) {
        std::printf("%s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
    });
    QObject::connect(&frame, &TScanFrame::ScanEnded, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    if (!frame.StartScan()) {
        return 1;
    }
    if (frame.IsScanning()) {
        QCoreApplication::exec();
    }
    std::printf("Tables saved in %s: %d services.\n", tables.Folder().toLocal8Bit().constData(),
                tables.CountServices(u' '));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SetProcessFormats();
    Options options;
    bool usage = false;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        if (argument == u"--first-run" && !options.firstRun) {
            options.firstRun = true;
        } else if (argument == u"--remove-absent" && !options.removeAbsent) {
            options.removeAbsent = true;
        } else {
            usage = true;
        }
    }
    if (usage) {
        std::fprintf(stderr,
                     "usage: tunora-scan [--first-run] [--remove-absent]\n"
                     "  Scans the included channels and saves the service tables.\n"
                     "  --first-run      only when the tables hold no audio service yet (else\n"
                     "                   exit status 3)\n"
                     "  --remove-absent  drop the services no longer on air (without it they\n"
                     "                   are kept)\n");
        return 2;
    }
    try {
        return Scan(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tunora-scan: %s\n", e.what());
        return 1;
    }
}

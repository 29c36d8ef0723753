// Schedule.csv: any file loads without fault, and every event read is written back the same.
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "platform/HeadlessDialogs.h"
#include "scheduler/TScheduleWrapper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    static HeadlessDialogs dialogs;
    static TServiceTablesWrapper tables(folder.path(), dialogs);
    static TScheduleWrapper schedule(tables);
    QFile file(schedule.FilePath());
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::abort();
    }
    file.close();
    schedule.Reload();
    schedule.SortEvents();
    QList<const TScheduleEvent*> found;
    for (int i = 0; i < schedule.Count(); ++i) {
        const TScheduleEvent* event = schedule.GetEvent(i);
        const QString text = event->AsText(tables);
        TScheduleEvent again;
        if (!again.LoadFromText(text, tables) || again.AsText(tables) != text) {
            std::abort();
        }
        event->Overlaps(event->StartTime(), event->LengthMinutes / 1440.0);
        schedule.GetEventsAt(found, event->StartMinute, event->Date);
    }
    QList<int> past;
    schedule.GetPastEvents(past, 740000);
    return 0;
}

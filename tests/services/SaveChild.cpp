// Saves every kind of file the program replaces (the service tables, a settings hive, a service
// icon, the schedule) for the kill test. Arguments: the folder, then "0" or "1" to save that
// version once, or "loop" to save the two versions in turn until killed.

#include <QCoreApplication>
#include <QString>
#include <memory>

#include "platform/Dialogs.h"
#include "platform/RegistryKey.h"
#include "scheduler/TScheduleWrapper.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "windows/TServicePictures.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    TServiceTablesWrapper tables(folder, Dialogs::Instance());
    TServicePictures pictures(tables, folder + QStringLiteral("/NoBranding"));
    TScheduleWrapper schedule(tables);
    RegistryKey hive(folder + QStringLiteral("/Tunora.conf"), TSettingsWrapper::KeyPath());

    // Big enough that each save takes a while to write.
    const auto save = [&](int version) {
        tables.ClearServices();
        for (int i = 0; i < 400; ++i) {
            tables.AddService(0x1000 + i, 0, QStringLiteral("V%1 service %2").arg(version).arg(i),
                              u'A', version == 0 ? 1 : 10, 225.648);
        }
        tables.SaveTables();
        hive.WriteString(QStringLiteral("Blob"), QString(50000, QChar(u'a' + version)));
        const std::int32_t first = tables.FindService(0x1000, 0);
        pictures.WriteServiceIcon(first, folder);
        schedule.ClearEvents();
        for (int i = 0; i < 200; ++i) {
            auto event = std::make_unique<TScheduleEvent>();
            event->EventID = QStringLiteral("$%1").arg(i, 12, 16, QChar(u'0'));
            event->Days = 0x7F;
            event->StartMinute = i;
            event->LengthMinutes = 1 + version;
            event->ServiceID = first;
            schedule.AddEvent(std::move(event));
        }
        schedule.SaveFile();
    };
    if (mode == u"loop") {
        for (int version = 0;; version ^= 1) {
            save(version);
        }
    }
    save(mode.toInt());
    return 0;
}

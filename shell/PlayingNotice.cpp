#include "shell/PlayingNotice.h"

#include "services/TServiceTablesWrapper.h"

QString PlayingNotice::Line(const TServiceTablesWrapper& tables, std::int32_t serviceId,
                            const QString& host, int port) {
    if (serviceId == 0) {
        return {};
    }
    QString line =
        QStringLiteral("Tunora: playing %1 (%2)")
            .arg(tables.GetServiceLabel(serviceId), tables.GetServiceKey(serviceId, true, u':'));
    if (port == 0) {
        return line + QStringLiteral("; no HTTP server (\"ServerPort\" is 0)");
    }
    const QString base = QStringLiteral("http://%1:%2/").arg(host).arg(port);
    return line + QStringLiteral("; stream ") + base +
           tables.GetServiceKey(serviceId, false, u'_') + QStringLiteral(".mp2, page ") + base +
           QStringLiteral("index.htm");
}

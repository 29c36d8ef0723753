#include "http/HTTPPages.h"

#include <initializer_list>

#include "Version.h"
#include "services/TServiceTablesWrapper.h"

namespace HTTPPages {

namespace {

const QString kWebSite = QString::fromLatin1(TunoraWebSite);

// Each text followed by CR LF, in UTF-8.
QByteArray Lines(std::initializer_list<QString> lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8() + "\r\n";
    }
    return bytes;
}

// A fixed page: the status line, `extra` header lines, the type and the body.
QByteArray Page(const QString& status, const QByteArray& extra, const QString& title,
                const QString& text) {
    return Lines({QStringLiteral("HTTP/1.0 ") + status}) + extra +
           Lines({QStringLiteral("Content-Type: text/html"),
                  {},
                  QStringLiteral("<HTML><HEAD><TITLE>Tunora - ") + title +
                      QStringLiteral("</TITLE></HEAD>\r\n<BODY><H1>") + text +
                      QStringLiteral("</H1><BR></BODY></HTML>\r\n")});
}

}  // namespace

QByteArray Unauthorized() {
    return Page(QStringLiteral("401 Unauthorized"),
                Lines({QStringLiteral("WWW-Authenticate: Basic realm=\"Tunora\"")}),
                QStringLiteral("Unauthorized"), QStringLiteral("Access unauthorized."));
}

QByteArray NotFound() {
    return Page(QStringLiteral("404 Not Found"), {}, QStringLiteral("Not Found"),
                QStringLiteral("Object not found."));
}

QByteArray MethodNotAllowed() {
    return Page(QStringLiteral("405 Method Not Allowed"), {}, QStringLiteral("Method Not Allowed"),
                QStringLiteral("Method not allowed."));
}

QByteArray Unavailable() {
    return Page(QStringLiteral("503 Service Unavailable"), {}, QStringLiteral("Unavailable"),
                QStringLiteral("Object currently unavailable."));
}

QByteArray Redirect(const QString& url, bool permanent) {
    return Page(permanent ? QStringLiteral("301 Moved Permanently")
                          : QStringLiteral("302 Moved Temporarily"),
                Lines({QStringLiteral("Location: ") + url}), QStringLiteral("Document Moved"),
                QStringLiteral("Object Moved <A HREF=\"%1\"> to here</A>.").arg(url));
}

QByteArray Clip(const QByteArray& clip) {
    return Lines({QStringLiteral("HTTP/1.0 200 OK"),
                  QStringLiteral("Content-Type: audio/mpeg"),
                  QStringLiteral("Content-Length: ") + QString::number(clip.size()),
                  QStringLiteral("Cache-Control: no-cache\r\nPragma: no-cache"),
                  {}}) +
           clip;
}

QByteArray Playlist(const QString& host, const QString& name, const QString& serviceLabel) {
    const QString url = QStringLiteral("http://") + host + u'/' + name + QStringLiteral(".mp2");
    const QByteArray body =
        Lines({url, QStringLiteral("[playlist]"), QStringLiteral("NumberOfEntries=1"),
               QStringLiteral("Version=2"), QStringLiteral("File1=") + url,
               QStringLiteral("Title1=Tunora - ") + serviceLabel, QStringLiteral("Length1=-1")});
    return Sized(QStringLiteral("audio/scpls"), body);
}

QByteArray StreamHead() {
    return Lines({QStringLiteral("HTTP/1.0 200 OK"),
                  QStringLiteral("Server: Tunora/") + QString::fromLatin1(TunoraVersion),
                  QStringLiteral("Content-Type: audio/mpeg"),
                  QStringLiteral("Cache-Control: no-cache\r\nPragma: no-cache"),
                  QStringLiteral("Connection: close"),
                  QStringLiteral("Pragma: features=\"broadcast\""),
                  QStringLiteral("Content-Length: -1"),
                  {}});
}

QByteArray IcyHead(const QString& serviceName, const QString& genre, int metaInterval) {
    QByteArray head = Lines(
        {QStringLiteral("ICY 200 OK"),
         QStringLiteral("icy-notice1:<BR>This stream requires an MPEG-1 Layer 2 player, see the "
                        "<a href=\"") +
             kWebSite + QStringLiteral("\">Tunora web site</a> for more information.<BR>"),
         QStringLiteral("icy-notice2:Tunora digital radio server/Version ") +
             QString::fromLatin1(TunoraVersion),
         QStringLiteral("icy-name:") + serviceName, QStringLiteral("icy-genre:") + genre,
         QStringLiteral("icy-url:") + kWebSite, QStringLiteral("icy-pub:1")});
    if (metaInterval > 0) {
        head += Lines({QStringLiteral("icy-metaint:") + QString::number(metaInterval)});
    }
    return head + "\r\n";
}

QByteArray RawStreamHead() {
    return Lines({QStringLiteral("HTTP/1.0 200 OK"),
                  QStringLiteral("Content-Type: application/octet-stream"),
                  {}});
}

QByteArray Sized(const QString& contentType, const QByteArray& body) {
    return Lines({QStringLiteral("HTTP/1.0 200 OK"),
                  QStringLiteral("Content-Type: ") + contentType,
                  QStringLiteral("Content-Length: ") + QString::number(body.size()),
                  {}}) +
           body;
}

QByteArray IndexPage(const TServiceTablesWrapper& tables) {
    TListEntries services;
    tables.ListServices(services, u'A', true, 1);
    QByteArray page = Lines(
        {QStringLiteral("HTTP/1.0 200 OK"),
         QStringLiteral("Content-Type: text/html; charset=utf-8"),
         {},
         QStringLiteral("<HTML><HEAD><TITLE>Tunora - Main Menu</TITLE></HEAD><BODY "
                        "bgcolor=\"#FFFFFF\" text=\"#000000\" link=\"#0000FF\" vlink=\"#800080\" "
                        "alink=\"#FF0000\">"),
         QStringLiteral("<DIV ALIGN=\"CENTER\"><CENTER><IMAGE SRC=\"tunora.gif\" "
                        "ALT=\"Tunora\"></DIV></CENTER><BR>"),
         QStringLiteral("<DIV ALIGN=\"CENTER\"><CENTER>"),
         QStringLiteral("<TABLE BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"4\">"),
         QStringLiteral(
             "<TR><TD WIDTH=\"16\" HEIGHT=\"16\" BGCOLOR=\"#000080\"><IMG SRC=\"1x1.gif\"></TD>"
             "<TD BGCOLOR=\"#000080\"><FONT COLOR=\"#FFFFFF\"><STRONG>Service</STRONG></FONT></TD>"
             "<TD BGCOLOR=\"#000080\"><FONT COLOR=\"#FFFFFF\"><STRONG>Genre</STRONG></FONT></TD>"
             "<TD BGCOLOR=\"#000080\"><FONT COLOR=\"#FFFFFF\"><STRONG>Multiplex</STRONG></FONT>"
             "</TD></TR>"),
         QStringLiteral("<TR><TD COLSPAN=\"5\" HEIGHT=\"1\" BGCOLOR=\"#C0C0C0\"><IMG "
                        "SRC=\"1x1.gif\"></TD></TR>")});
    for (qsizetype i = 0; i < services.size(); ++i) {
        const auto service = static_cast<std::int32_t>(services[i].Object);
        const QString colour = i % 6 < 3 ? QStringLiteral("#C0C0C0") : QStringLiteral("#C8C8C8");
        const QString url = tables.GetServiceKey(service, false, u'_').toHtmlEscaped();
        const QString cell = QStringLiteral("<TD BGCOLOR=\"") + colour + QStringLiteral("\">");
        const QString spacer = cell + QStringLiteral("<IMG SRC=\"1x1.gif\">");
        // Broadcast labels are text, not markup.
        page += Lines({QStringLiteral("<TR><TD WIDTH=\"16\" HEIGHT=\"16\" BGCOLOR=\"") + colour +
                           QStringLiteral("\"><A HREF=\"") + url +
                           QStringLiteral(".m3u\"><IMG BORDER=\"0\" SRC=\"") + url +
                           QStringLiteral("_16.gif\"></A></TD>") + spacer +
                           QStringLiteral("<A HREF=\"") + url + QStringLiteral(".m3u\">") +
                           tables.GetServiceDisplayName(service).toHtmlEscaped() +
                           QStringLiteral("</A></TD>") + spacer +
                           tables.GetServiceProgrammeTypeName(service).toHtmlEscaped() +
                           QStringLiteral("</TD>") + spacer +
                           tables.GetServiceEnsembleLabel(service).toHtmlEscaped() +
                           QStringLiteral("</TD></TR>"),
                       QStringLiteral("<TR><TD COLSPAN=\"5\" HEIGHT=\"1\" BGCOLOR=\"") + colour +
                           QStringLiteral("\"><IMG SRC=\"1x1.gif\"></TD></TR>")});
    }
    return page + Lines({QStringLiteral("</TABLE>"), QStringLiteral("</DIV></CENTER>"),
                         QStringLiteral("</BODY></HTML>")});
}

}  // namespace HTTPPages

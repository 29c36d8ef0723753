#pragma once

#include <QByteArray>
#include <QString>

class TServiceTablesWrapper;

// The server's responses as the bytes sent: the fixed pages, clips, playlists, stream heads,
// lists, pictures and the index page. Each head line ends with CR LF, a blank line ends the head
// and a page body gets one more CR LF. Pure functions but IndexPage, which reads the tables.
namespace HTTPPages {

QByteArray Unauthorized();
QByteArray NotFound();
QByteArray MethodNotAllowed();
QByteArray Unavailable();
QByteArray Redirect(const QString& url, bool permanent);

// A stored MP3 clip with its length; the session closes after it.
QByteArray Clip(const QByteArray& clip);
// The playlist naming "http://<host>/<name>.mp2" both as a bare URL and as a "[playlist]".
QByteArray Playlist(const QString& host, const QString& name, const QString& serviceLabel);

// The head of a ".mp2" stream without "Icy-MetaData:".
QByteArray StreamHead();
// The ICY head of a ".mp2" stream; "icy-metaint:" only when `metaInterval` is above 0.
QByteArray IcyHead(const QString& serviceName, const QString& genre, int metaInterval);
// The head of a ".dat" stream.
QByteArray RawStreamHead();

// A body with its Content-Type and Content-Length.
QByteArray Sized(const QString& contentType, const QByteArray& body);

// The HTML index of the audio services (UTF-8, declared so), names HTML-escaped.
QByteArray IndexPage(const TServiceTablesWrapper& tables);

}  // namespace HTTPPages

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// Reading and routing one request head. Pure functions; any thread.
namespace HTTPRequest {

// True when the bytes received so far hold the blank line that ends a request head.
bool IsComplete(const QByteArray& head);

// The head as Latin-1 text split at its line ends (CR LF, LF or CR).
QStringList SplitLines(const QByteArray& head);

// The rest of the first line that begins with `name` (letter case ignored); empty when none.
// `name` carries its colon and, where wanted, the blank after it.
QString GetHeader(const QStringList& lines, const QString& name);

// The host a response names: the "Host: " header, with ":80" appended when `addPort` and it
// names no port; without the header, `local` (the connection's local address and the server's
// port) whatever `addPort` says.
QString GetHost(const QStringList& lines, bool addPort, const QString& local);

// What a request asks for.
enum class Target {
    None,  // an empty head: nothing is answered
    Redirect,
    Unauthorized,
    NotAllowed,
    IndexPage,
    ServiceList,
    EnsembleList,
    Playlist,
    Stream,
    RawStream,
    Logo,
    Spacer,
    ServicePicture,
    ServiceIcon,
    NotFound,
};

struct Route {
    Target target = Target::None;
    // The service key (lower case) of playlists, streams, pictures and icons.
    QString name;
    // ServicePicture: the number before ".gif", 16 when it is none.
    int pictureSize = 16;
};

// Decodes the request line's escapes, upper-cases it and decides the answer. `authenticated` is
// asked only once the path is not "/" (the redirect needs no password).
Route RouteRequest(const QStringList& lines, const std::function<bool()>& authenticated);

}  // namespace HTTPRequest

#include "http/HTTPRequest.h"

#include <QRegularExpression>
#include <utility>

#include "http/HTTPText.h"

namespace HTTPRequest {

namespace {

Route To(Target target, QString name = {}, int pictureSize = 16) {
    return {target, std::move(name), pictureSize};
}

// The routing table, on the lower-case path.
Route RoutePath(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    const QString extension = dot < 0 ? QString() : path.mid(dot);
    // The service key: without the leading "/" and the four-character extension.
    const QString name = path.mid(1, path.size() - 5);
    if (path == u"/index.htm") {
        return To(Target::IndexPage);
    }
    if (path == u"/services.csv") {
        return To(Target::ServiceList);
    }
    if (path == u"/ensembles.csv") {
        return To(Target::EnsembleList);
    }
    if (extension == u".m3u" || extension == u".pls" || extension == u".xpl") {
        return To(Target::Playlist, name);
    }
    if (extension == u".mp2") {
        return To(Target::Stream, name);
    }
    if (extension == u".dat") {
        return To(Target::RawStream, name);
    }
    if (path == u"/tunora.gif") {
        return To(Target::Logo);
    }
    if (path == u"/1x1.gif") {
        return To(Target::Spacer);
    }
    if (extension == u".gif" && path.size() >= 7 && path[path.size() - 7] == u'_') {
        // "/<name>_NN.gif".
        bool isNumber = false;
        const int size = path.mid(path.size() - 6, 2).toInt(&isNumber);
        return To(Target::ServicePicture, path.mid(1, path.size() - 8), isNumber ? size : 16);
    }
    if (extension == u".ico") {
        return To(Target::ServiceIcon, name);
    }
    return To(Target::NotFound);
}

}  // namespace

bool IsComplete(const QByteArray& head) {
    return head.contains("\r\n\r\n");
}

QStringList SplitLines(const QByteArray& head) {
    static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\n|\r"));
    return QString::fromLatin1(head).split(kLineEnd);
}

QString GetHeader(const QStringList& lines, const QString& name) {
    for (const QString& line : lines) {
        if (line.startsWith(name, Qt::CaseInsensitive)) {
            return line.mid(name.size());
        }
    }
    return {};
}

QString GetHost(const QStringList& lines, bool addPort, const QString& local) {
    QString host = GetHeader(lines, QStringLiteral("Host: "));
    if (host.isEmpty()) {
        return local;
    }
    if (addPort && !host.contains(u':')) {
        host += QStringLiteral(":80");
    }
    return host;
}

Route RouteRequest(const QStringList& lines, const std::function<bool()>& authenticated) {
    if (lines.isEmpty()) {
        return To(Target::None);
    }
    QString line = HTTPText::DecodeEscapes(lines.first()).toUpper();
    const QString method = HTTPText::SplitWord(line);
    const QString path = HTTPText::SplitWord(line);
    if (path == u"/") {
        return To(Target::Redirect);
    }
    if (!authenticated()) {
        return To(Target::Unauthorized);
    }
    if (path.contains(u"..") || method != u"GET") {
        return To(Target::NotAllowed);
    }
    return RoutePath(path.toLower());
}

}  // namespace HTTPRequest

// Request heads: the request line's escapes, method and path, the headers and the service key a
// path names, read the way a session reads them.
#include <QRegularExpression>

#include "http/HTTPText.h"
#include "services/TServiceTablesWrapper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\n|\r"));
    const QStringList lines =
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size)).split(kLineEnd);
    QString line = HTTPText::DecodeEscapes(lines.first()).toUpper();
    HTTPText::SplitWord(line);
    const QString path = HTTPText::SplitWord(line).toLower();
    TServiceTablesWrapper::ParseServiceKey(path.mid(1, path.size() - 5));
    for (const QString& header : lines) {
        static const QString kBasic = QStringLiteral("Authorization: Basic ");
        if (header.startsWith(kBasic, Qt::CaseInsensitive)) {
            HTTPText::CredentialsMatch(QStringLiteral("user:secret"), header.mid(kBasic.size()));
        }
    }
    return 0;
}

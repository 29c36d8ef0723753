// Basic credentials: any header value is judged without fault, and the right one is accepted.
#include <cstdlib>

#include "http/HTTPText.h"

// Input: the password (UTF-8) up to the first line feed, then the header value as received.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\n');
    const QString password = QString::fromUtf8(bytes.left(cut < 0 ? 0 : cut));
    HTTPText::CredentialsMatch(password, QString::fromLatin1(bytes.mid(cut + 1)));
    const QByteArray user = password.contains(u':') ? QByteArray() : QByteArray("anyone:");
    const QString right = QString::fromLatin1((user + password.toUtf8()).toBase64());
    if (!HTTPText::CredentialsMatch(password, right)) {
        std::abort();
    }
    return 0;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The hand-over "TunoraCommandLine" between a second instance and the running one: a Unix-domain
// stream socket "TTunoraWindow.sock" (named after the bar's window class) in the runtime folder,
// one request per connection.
//
// Request, host byte order (both ends run on this machine):
//   4 bytes   magic "TNRC"
//   int32     wParam
//   int64     lParam
//   uint32    n, the number of UTF-16 units of the text (at most kMaxTextLength)
//   n uint16  the text: for wParam 1 the complete command line; empty for the other commands
// Answer: int32, the message result. A request that is malformed or whose text is longer than
// kMaxTextLength is answered -1 without reaching the handler. The sender waits for the answer
// without a time-out.
class HandOverProtocol {
public:
    static constexpr char kMagic[4] = {'T', 'N', 'R', 'C'};
    static constexpr int kHeaderSize = 4 + 4 + 8 + 4;
    // The longest text one request carries; a longer command line is not handed over.
    static constexpr int kMaxTextLength = 255;
    static constexpr std::int32_t kRefused = -1;

    struct Request {
        std::int32_t wParam = 0;
        std::int64_t lParam = 0;
        QString text;
    };

    // The socket in the runtime folder (the folder is created when missing).
    static QString SocketPath();

    static QByteArray Encode(const Request& request);
    // Bytes still missing from a request that begins with `received`: 0 when it is complete,
    // kRefused when it is malformed (wrong magic, text too long). Bytes beyond it are ignored.
    static qsizetype Missing(const QByteArray& received);
    // The request at the start of `received`, which Missing found complete.
    static Request Decode(const QByteArray& received);
};

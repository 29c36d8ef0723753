// Request heads: the head's framing and lines, its headers, the route it takes (the request
// line's escapes, method and path, the password check) and the service key a route names, read
// by the same functions a session uses.
#include "http/HTTPRequest.h"
#include "http/HTTPText.h"
#include "services/TServiceTablesWrapper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray head(reinterpret_cast<const char*>(data), qsizetype(size));
    HTTPRequest::IsComplete(head);
    const QStringList lines = HTTPRequest::SplitLines(head);
    HTTPRequest::GetHost(lines, true, QStringLiteral("127.0.0.1:8080"));
    const HTTPRequest::Route route = HTTPRequest::RouteRequest(lines, [&lines] {
        return HTTPText::CredentialsMatch(
            QStringLiteral("user:secret"),
            HTTPRequest::GetHeader(lines, QStringLiteral("Authorization: Basic ")));
    });
    if (!route.name.isEmpty()) {
        TServiceTablesWrapper::ParseServiceKey(route.name);
    }
    return 0;
}

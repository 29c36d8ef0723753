#include "http/THTTPSessionThread.h"

#include <QBuffer>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>

#include "Version.h"
#include "http/HTTPText.h"
#include "http/THTTPServer.h"
#include "http/TRecorderHTTP.h"
#include "receiver/TMainControl.h"
#include "resources/Resources.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "windows/TServicePictures.h"

namespace {

const QString kWebSite = QStringLiteral("https://tunora.org/");

using Clock = std::chrono::steady_clock;

}  // namespace

THTTPSessionThread::THTTPSessionThread(THTTPServer& server, TSocket client)
    : server_(server),
      firstClient_(std::move(client)),
      thread_([this](std::stop_token stop) { Execute(stop); }) {}

THTTPSessionThread::~THTTPSessionThread() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void THTTPSessionThread::Abort() {
    thread_.request_stop();
    std::lock_guard guard(socketLock_);
    ClientSocket.Shutdown();
}

void THTTPSessionThread::Execute(std::stop_token stop) {
    stop_ = stop;
    TSocket client = std::move(firstClient_);
    // Every connection goes back through the server, also when stopping: that is how it learns
    // the thread has ended.
    while (client.IsValid()) {
        Serve(std::move(client));
        client = server_.NextConnection(this);
    }
}

void THTTPSessionThread::Serve(TSocket client) {
    {
        std::lock_guard guard(socketLock_);
        ClientSocket = std::move(client);
        ClientSocket.SetTimeouts(kSocketTimeoutMs);
        connected_ = !stop_.stop_requested();
    }
    Recorder.reset();
    MetaInterval = 0;
    BytesToMeta = 0;
    ServiceName.clear();
    RequestLines.clear();
    ReceivedCount = 0;
    State = kReading;
    try {
        RunLoop();
    } catch (...) {
        // A failing collaborator (receiver, settings) ends this connection only.
    }
    CleanUp();
}

void THTTPSessionThread::RunLoop() {
    auto deadline = Clock::now() + std::chrono::seconds(kIdleSeconds);
    while (!stop_.stop_requested() && connected_) {
        switch (State.load()) {
            case kReading: {
                const int ready = ClientSocket.WaitReadable(kWaitMs);
                if (ready > 0 && ReadRequest() > 0) {
                    deadline = Clock::now() + std::chrono::seconds(kIdleSeconds);
                } else if (ready < 0) {
                    CloseSession();
                } else if (Clock::now() >= deadline) {
                    CloseSession();
                }
                break;
            }
            case kStreaming:
                if (SendQueued()) {
                    deadline = Clock::now() + std::chrono::seconds(kIdleSeconds);
                } else if (Clock::now() >= deadline) {
                    CloseSession();
                }
                if (connected_) {
                    Pause(kSendPauseMs);
                }
                break;
            default:
                CloseSession();
                break;
        }
    }
}

void THTTPSessionThread::CleanUp() {
    if (Recorder) {
        TRecorderHTTP* recorder = Recorder.get();
        try {
            server_.CallController([&] { server_.Control().RemoveRecorder(recorder); }, true);
        } catch (...) {
            // The controller let go of it even when the receiver failed to stop the capture.
        }
        Recorder.reset();
    }
    {
        std::lock_guard guard(QueueLock);
        BlockQueue.clear();
    }
    State = kFinished;
    ReceivedCount = 0;
    ServiceName.clear();
    RequestLines.clear();
    MetaInterval = 0;
    BytesToMeta = 0;
    std::lock_guard guard(socketLock_);
    ClientSocket.DiscardPending();
    ClientSocket.Close();
    connected_ = false;
}

void THTTPSessionThread::CloseSession() {
    State = kClosing;
    std::lock_guard guard(socketLock_);
    ClientSocket.ShutdownSending();
    connected_ = false;
}

bool THTTPSessionThread::Pause(int milliseconds) {
    std::unique_lock lock(pauseLock_);
    return !pauseWake_.wait_for(lock, stop_, std::chrono::milliseconds(milliseconds), [] {
        return false;
    }) && !stop_.stop_requested();
}

// ---- Request ------------------------------------------------------------------------------

int THTTPSessionThread::ReadRequest() {
    if (ReceivedCount + kReadSize > kBufferSize) {
        CloseSession();
        return 0;
    }
    const std::ptrdiff_t count = ClientSocket.Receive(RequestBuffer + ReceivedCount, kReadSize);
    if (count <= 0) {
        CloseSession();
        return 0;
    }
    ReceivedCount += static_cast<std::int32_t>(count);
    const QByteArray head = QByteArray::fromRawData(RequestBuffer, ReceivedCount);
    if (head.contains("\r\n\r\n")) {
        static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\n|\r"));
        QString text = QString::fromLatin1(head);
        RequestLines = text.split(kLineEnd);
        ReceivedCount = 0;
        State = kProcessing;
        ProcessRequest();
        if (State != kStreaming) {
            CloseSession();
        }
    }
    return static_cast<int>(count);
}

void THTTPSessionThread::ProcessRequest() {
    if (RequestLines.isEmpty()) {
        return;
    }
    QString line = HTTPText::DecodeEscapes(RequestLines.first()).toUpper();
    const QString method = HTTPText::SplitWord(line);
    const QString path = HTTPText::SplitWord(line);
    if (path == u"/") {
        SendRedirect(QStringLiteral("index.htm"), true);
    } else if (!Authenticated()) {
        SendUnauthorized();
    } else if (path.contains(u"..")) {
        SendMethodNotAllowed();
    } else if (method != u"GET") {
        SendMethodNotAllowed();
    } else {
        Route(path.toLower());
    }
}

void THTTPSessionThread::Route(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    const QString extension = dot < 0 ? QString() : path.mid(dot);
    // The service key: without the leading "/" and the four-character extension.
    const QString name = path.mid(1, path.size() - 5);
    if (path == u"/index.htm") {
        SendIndexPage();
    } else if (path == u"/services.csv") {
        SendList(true);
    } else if (path == u"/ensembles.csv") {
        SendList(false);
    } else if (extension == u".m3u" || extension == u".pls" || extension == u".xpl") {
        SendPlaylist(name);
    } else if (extension == u".mp2") {
        SendStream(name);
    } else if (extension == u".dat") {
        SendRawStream(name);
    } else if (path == u"/tunora.gif") {
        SendImage(Resources::Find(QStringLiteral("GIF"), QStringLiteral("TUNORA")));
    } else if (path == u"/1x1.gif") {
        SendImage(Resources::Find(QStringLiteral("GIF"), QStringLiteral("1X1")));
    } else if (extension == u".gif" && path.size() >= 7 && path[path.size() - 7] == u'_') {
        SendServicePicture(path);
    } else if (extension == u".ico") {
        SendServiceIcon(name);
    } else {
        SendNotFound();
    }
}

QString THTTPSessionThread::GetHeader(const QString& name) const {
    for (const QString& line : RequestLines) {
        if (line.startsWith(name, Qt::CaseInsensitive)) {
            return line.mid(name.size());
        }
    }
    return {};
}

QString THTTPSessionThread::GetHost(bool addPort) const {
    QString host = GetHeader(QStringLiteral("Host: "));
    if (host.isEmpty()) {
        return ClientSocket.LocalAddress().HostText() + u':' + QString::number(server_.Port());
    }
    if (addPort && !host.contains(u':')) {
        host += QStringLiteral(":80");
    }
    return host;
}

bool THTTPSessionThread::Authenticated() const {
    const QString password = server_.Settings().ReadString(Setting::ServerPassword);
    if (password.isEmpty() || server_.IsLocal(ClientSocket.LocalAddress())) {
        return true;
    }
    return HTTPText::CredentialsMatch(password, GetHeader(QStringLiteral("Authorization: Basic ")));
}

// ---- Fixed responses ----------------------------------------------------------------------

bool THTTPSessionThread::SendBytes(const char* data, std::size_t size) {
    if (!connected_) {
        return false;
    }
    if (!ClientSocket.SendAll(data, size)) {
        CloseSession();
        return false;
    }
    return true;
}

bool THTTPSessionThread::SendBytes(const QByteArray& bytes) {
    return SendBytes(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool THTTPSessionThread::SendLine(const QString& text) {
    return SendBytes(text.toUtf8() + "\r\n");
}

void THTTPSessionThread::SendUnauthorized() {
    SendLine(QStringLiteral("HTTP/1.0 401 Unauthorized"));
    SendLine(QStringLiteral("WWW-Authenticate: Basic realm=\"Tunora\""));
    SendLine(QStringLiteral("Content-Type: text/html"));
    SendLine({});
    SendLine(
        QStringLiteral("<HTML><HEAD><TITLE>Tunora - Unauthorized</TITLE></HEAD>\r\n"
                       "<BODY><H1>Access unauthorized.</H1><BR></BODY></HTML>\r\n"));
}

void THTTPSessionThread::SendNotFound() {
    SendLine(QStringLiteral("HTTP/1.0 404 Not Found"));
    SendLine(QStringLiteral("Content-Type: text/html"));
    SendLine({});
    SendLine(
        QStringLiteral("<HTML><HEAD><TITLE>Tunora - Not Found</TITLE></HEAD>\r\n"
                       "<BODY><H1>Object not found.</H1><BR></BODY></HTML>\r\n"));
}

void THTTPSessionThread::SendMethodNotAllowed() {
    SendLine(QStringLiteral("HTTP/1.0 405 Method Not Allowed"));
    SendLine(QStringLiteral("Content-Type: text/html"));
    SendLine({});
    SendLine(
        QStringLiteral("<HTML><HEAD><TITLE>Tunora - Method Not Allowed</TITLE></HEAD>\r\n"
                       "<BODY><H1>Method not allowed.</H1><BR></BODY></HTML>\r\n"));
}

void THTTPSessionThread::SendUnavailable() {
    SendLine(QStringLiteral("HTTP/1.0 503 Service Unavailable"));
    SendLine(QStringLiteral("Content-Type: text/html"));
    SendLine({});
    SendLine(
        QStringLiteral("<HTML><HEAD><TITLE>Tunora - Unavailable</TITLE></HEAD>\r\n"
                       "<BODY><H1>Object currently unavailable.</H1><BR></BODY></HTML>\r\n"));
}

void THTTPSessionThread::SendRedirect(const QString& target, bool permanent) {
    const QString url = QStringLiteral("http://") + GetHost(false) + u'/' + target;
    SendLine(permanent ? QStringLiteral("HTTP/1.0 301 Moved Permanently")
                       : QStringLiteral("HTTP/1.0 302 Moved Temporarily"));
    SendLine(QStringLiteral("Location: ") + url);
    SendLine(QStringLiteral("Content-Type: text/html"));
    SendLine({});
    SendLine(QStringLiteral("<HTML><HEAD><TITLE>Tunora - Document Moved</TITLE></HEAD>\r\n"
                            "<BODY><H1>Object Moved <A HREF=\"%1\"> to here</A>.</H1><BR></BODY>"
                            "</HTML>\r\n")
                 .arg(url));
}

// ---- Streams and playlists ----------------------------------------------------------------

void THTTPSessionThread::SendClip(const QString& name) {
    const std::optional<QByteArray> clip = Resources::Find(QStringLiteral("RCDATA"), name);
    if (!clip) {
        SendNotFound();
        return;
    }
    SendLine(QStringLiteral("HTTP/1.0 200 OK"));
    SendLine(QStringLiteral("Content-Type: audio/mpeg"));
    SendLine(QStringLiteral("Content-Length: ") + QString::number(clip->size()));
    SendLine(QStringLiteral("Cache-Control: no-cache\r\nPragma: no-cache"));
    SendLine({});
    SendBytes(*clip);
}

void THTTPSessionThread::SendPlaylist(const QString& name) {
    TServiceTablesWrapper& tables = server_.Tables();
    const std::int32_t service = tables.FindServiceByKey(name);
    if (service == 0) {
        SendNotFound();
        return;
    }
    const QString host = GetHost(true);
    const QString url = QStringLiteral("http://") + host + u'/' + name + QStringLiteral(".mp2");
    const QByteArray body =
        QStringList{url,
                    QStringLiteral("[playlist]"),
                    QStringLiteral("NumberOfEntries=1"),
                    QStringLiteral("Version=2"),
                    QStringLiteral("File1=") + url,
                    QStringLiteral("Title1=Tunora - ") + tables.GetServiceLabel(service),
                    QStringLiteral("Length1=-1")}
            .join(QStringLiteral("\r\n"))
            .toUtf8();
    SendLine(QStringLiteral("HTTP/1.0 200 OK"));
    SendLine(QStringLiteral("Content-Type: audio/scpls"));
    SendLine(QStringLiteral("Content-Length: ") + QString::number(body.size() + 2));
    SendLine({});
    SendBytes(body + "\r\n");
}

void THTTPSessionThread::SendStream(const QString& name) {
    TServiceTablesWrapper& tables = server_.Tables();
    const std::int32_t service = tables.FindServiceByKey(name);
    if (service == 0 || tables.GetServiceFrequency(service) == 0 ||
        tables.GetServiceKind(service) != u'A') {
        SendNotFound();
        return;
    }
    enum class Choice { Stream, NotSafe, Unavailable } choice = Choice::Stream;
    const bool asked = server_.CallController([&] {
        TMainControl& control = server_.Control();
        if (!control.CanUseService(service, false)) {
            choice = Choice::NotSafe;
        } else if (control.IsSettled() &&
                   tables.GetServiceFrequency(service) == control.TunedFrequency() &&
                   !control.IsServiceOnAir(service)) {
            choice = Choice::Unavailable;
        }
    });
    if (!asked) {
        return;  // shutting down
    }
    if (choice == Choice::NotSafe) {
        SendClip(QStringLiteral("NOTSAFE"));
        return;
    }
    if (choice == Choice::Unavailable) {
        SendClip(QStringLiteral("UNAVAILABLE"));
        return;
    }
    if (!Pause(kStreamDelayMs)) {
        return;
    }
    const QString value = GetHeader(QStringLiteral("Icy-MetaData:")).trimmed();
    if (value.isEmpty()) {
        SendLine(QStringLiteral("HTTP/1.0 200 OK"));
        SendLine(QStringLiteral("Server: Tunora/") + QString::fromLatin1(TunoraVersion));
        SendLine(QStringLiteral("Content-Type: audio/mpeg"));
        SendLine(QStringLiteral("Cache-Control: no-cache\r\nPragma: no-cache"));
        SendLine(QStringLiteral("Connection: close"));
        SendLine(QStringLiteral("Pragma: features=\"broadcast\""));
        SendLine(QStringLiteral("Content-Length: -1"));
        SendLine({});
        StartStream(service, false);
        return;
    }
    const QString serviceName = tables.GetServiceLabel(service);
    SendLine(QStringLiteral("ICY 200 OK"));
    SendLine(QStringLiteral("icy-notice1:<BR>This stream requires an MPEG-1 Layer 2 player, see "
                            "the <a href=\"") +
             kWebSite + QStringLiteral("\">Tunora web site</a> for more information.<BR>"));
    SendLine(QStringLiteral("icy-notice2:Tunora digital radio server/Version ") +
             QString::fromLatin1(TunoraVersion));
    SendLine(QStringLiteral("icy-name:") + serviceName);
    SendLine(QStringLiteral("icy-genre:") + tables.GetServiceProgrammeTypeName(service));
    SendLine(QStringLiteral("icy-url:") + kWebSite);
    SendLine(QStringLiteral("icy-pub:1"));
    if (value.toInt() < 1) {
        SendLine({});
        StartStream(service, false);
        return;
    }
    MetaInterval = HTTPText::kMetaInterval;
    BytesToMeta = HTTPText::kMetaInterval;
    ServiceName = serviceName;
    SendLine(QStringLiteral("icy-metaint:") + QString::number(HTTPText::kMetaInterval));
    SendLine({});
    StartStream(service, true);
}

void THTTPSessionThread::SendRawStream(const QString& name) {
    const std::int32_t service = server_.Tables().FindServiceByKey(name);
    if (service == 0) {
        SendNotFound();
        return;
    }
    bool allowed = false;
    if (!server_.CallController(
            [&] { allowed = server_.Control().CanUseService(service, false); })) {
        return;
    }
    if (!allowed) {
        SendUnavailable();
        return;
    }
    SendLine(QStringLiteral("HTTP/1.0 200 OK"));
    SendLine(QStringLiteral("Content-Type: application/octet-stream"));
    SendLine({});
    StartStream(service, false);
}

void THTTPSessionThread::StartStream(std::int32_t serviceId, bool wantsMetadata) {
    if (!connected_) {
        return;  // the head did not reach the client
    }
    Recorder = std::make_unique<TRecorderHTTP>(serviceId, server_.Tables(), *this, wantsMetadata);
    State = kStreaming;
    TRecorderHTTP* recorder = Recorder.get();
    if (!server_.CallController([&] { server_.Control().AddRecorder(recorder); })) {
        CloseSession();
    }
}

void THTTPSessionThread::Enqueue(const std::uint8_t* buffer, std::int32_t count) {
    if (thread_.get_stop_token().stop_requested() || count < 1 || State != kStreaming) {
        return;
    }
    std::vector<std::uint8_t> block(buffer, buffer + count);
    std::lock_guard guard(QueueLock);
    BlockQueue.push_back(std::move(block));
    if (BlockQueue.size() >= kQueueLimit) {
        while (BlockQueue.size() > kQueueKeep) {
            BlockQueue.pop_front();
        }
    }
}

bool THTTPSessionThread::SendQueued() {
    bool sent = false;
    for (;;) {
        std::vector<std::uint8_t> block;
        {
            std::lock_guard guard(QueueLock);
            if (BlockQueue.empty()) {
                break;
            }
            block = std::move(BlockQueue.front());
            BlockQueue.pop_front();
        }
        sent = true;
        const bool written =
            MetaInterval <= 0 ? SendBytes(reinterpret_cast<const char*>(block.data()), block.size())
                              : SendWithMetadata(block);
        if (!written) {
            break;
        }
    }
    return sent;
}

bool THTTPSessionThread::SendWithMetadata(const std::vector<std::uint8_t>& block) {
    std::size_t offset = 0;
    while (offset < block.size()) {
        if (BytesToMeta < 1) {
            if (!SendBytes(HTTPText::MetadataBlock(StreamTitle()))) {
                return false;
            }
            BytesToMeta = MetaInterval;
        }
        const std::size_t k =
            std::min(block.size() - offset, static_cast<std::size_t>(BytesToMeta));
        if (!SendBytes(reinterpret_cast<const char*>(block.data()) + offset, k)) {
            return false;
        }
        offset += k;
        BytesToMeta -= static_cast<std::int32_t>(k);
    }
    return true;
}

QString THTTPSessionThread::StreamTitle() {
    QString title;
    if (Recorder) {
        TRecorderHTTP* recorder = Recorder.get();
        try {
            server_.CallController(
                [&] { title = server_.Control().GetStreamLabel(recorder->StreamHandle()); });
        } catch (...) {
            title.clear();
        }
    }
    return title.isEmpty() ? ServiceName : title;
}

// ---- Lists and the index page ---------------------------------------------------------------

void THTTPSessionThread::SendList(bool services) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (services) {
        server_.Tables().WriteServices(buffer);
    } else {
        server_.Tables().WriteEnsembles(buffer);
    }
    const QByteArray& bytes = buffer.data();
    SendLine(QStringLiteral("HTTP/1.0 200 OK"));
    SendLine(QStringLiteral("Content-Type: text/x-csv"));
    SendLine(QStringLiteral("Content-Length: ") + QString::number(bytes.size()));
    SendLine({});
    SendBytes(bytes);
}

void THTTPSessionThread::SendIndexPage() {
    TServiceTablesWrapper& tables = server_.Tables();
    TListEntries services;
    tables.ListServices(services, u'A', true, 1);
    SendLine(QStringLiteral("HTTP/1.0 200 OK"));
    SendLine(QStringLiteral("Content-Type: text/html"));
    SendLine({});
    SendLine(QStringLiteral(
        "<HTML><HEAD><TITLE>Tunora - Main Menu</TITLE></HEAD><BODY bgcolor=\"#FFFFFF\" "
        "text=\"#000000\" link=\"#0000FF\" vlink=\"#800080\" alink=\"#FF0000\">"));
    SendLine(
        QStringLiteral("<DIV ALIGN=\"CENTER\"><CENTER><IMAGE SRC=\"tunora.gif\" "
                       "ALT=\"Tunora\"></DIV></CENTER><BR>"));
    SendLine(QStringLiteral("<DIV ALIGN=\"CENTER\"><CENTER>"));
    SendLine(QStringLiteral("<TABLE BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"4\">"));
    SendLine(QStringLiteral(
        "<TR><TD WIDTH=\"16\" HEIGHT=\"16\" BGCOLOR=\"#000080\"><IMG SRC=\"1x1.gif\"></TD>"
        "<TD BGCOLOR=\"#000080\"><FONT COLOR=\"#FFFFFF\"><STRONG>Service</STRONG></FONT></TD>"
        "<TD BGCOLOR=\"#000080\"><FONT COLOR=\"#FFFFFF\"><STRONG>Genre</STRONG></FONT></TD>"
        "<TD BGCOLOR=\"#000080\"><FONT COLOR=\"#FFFFFF\"><STRONG>Multiplex</STRONG></FONT></TD>"
        "</TR>"));
    SendLine(
        QStringLiteral("<TR><TD COLSPAN=\"5\" HEIGHT=\"1\" BGCOLOR=\"#C0C0C0\"><IMG "
                       "SRC=\"1x1.gif\"></TD></TR>"));
    for (qsizetype i = 0; i < services.size() && connected_; ++i) {
        const auto service = static_cast<std::int32_t>(services[i].Object);
        const QString colour = i % 6 < 3 ? QStringLiteral("#C0C0C0") : QStringLiteral("#C8C8C8");
        const QString url = tables.GetServiceKey(service, false, u'_').toHtmlEscaped();
        // Broadcast labels are text, not markup.
        SendLine(
            QStringLiteral("<TR><TD WIDTH=\"16\" HEIGHT=\"16\" BGCOLOR=\"") + colour +
            QStringLiteral("\"><A HREF=\"") + url +
            QStringLiteral(".m3u\"><IMG BORDER=\"0\" SRC=\"") + url +
            QStringLiteral("_16.gif\"></A></TD>") + QStringLiteral("<TD BGCOLOR=\"") + colour +
            QStringLiteral("\"><IMG SRC=\"1x1.gif\"><A HREF=\"") + url + QStringLiteral(".m3u\">") +
            tables.GetServiceDisplayName(service).toHtmlEscaped() + QStringLiteral("</A></TD>") +
            QStringLiteral("<TD BGCOLOR=\"") + colour + QStringLiteral("\"><IMG SRC=\"1x1.gif\">") +
            tables.GetServiceProgrammeTypeName(service).toHtmlEscaped() + QStringLiteral("</TD>") +
            QStringLiteral("<TD BGCOLOR=\"") + colour + QStringLiteral("\"><IMG SRC=\"1x1.gif\">") +
            tables.GetServiceEnsembleLabel(service).toHtmlEscaped() + QStringLiteral("</TD></TR>"));
        SendLine(QStringLiteral("<TR><TD COLSPAN=\"5\" HEIGHT=\"1\" BGCOLOR=\"") + colour +
                 QStringLiteral("\"><IMG SRC=\"1x1.gif\"></TD></TR>"));
    }
    SendLine(QStringLiteral("</TABLE>"));
    SendLine(QStringLiteral("</DIV></CENTER>"));
    SendLine(QStringLiteral("</BODY></HTML>"));
}

// ---- Pictures and icons -------------------------------------------------------------------

void THTTPSessionThread::SendImage(const std::optional<QByteArray>& image) {
    if (!image) {
        SendNotFound();
        return;
    }
    SendLine(QStringLiteral("HTTP/1.0 200 OK"));
    SendLine(QStringLiteral("Content-Type: image/gif"));
    SendLine(QStringLiteral("Content-Length: ") + QString::number(image->size()));
    SendLine({});
    SendBytes(*image);
}

template <class F>
auto THTTPSessionThread::WithPictures(F work) const {
    // The program's pictures carry the branding; without them (tests) only the built-in ones.
    if (ServicePictures != nullptr) {
        return work(*ServicePictures);
    }
    const TServicePictures pictures(server_.Tables(), QString());
    return work(pictures);
}

void THTTPSessionThread::SendServicePicture(const QString& path) {
    // "/<name>_NN.gif": NN below 32 (or not a number) asks for 16 pixels, else 32.
    bool isNumber = false;
    int size = path.mid(path.size() - 6, 2).toInt(&isNumber);
    if (!isNumber) {
        size = 16;
    }
    const std::int32_t service = server_.Tables().FindServiceByKey(path.mid(1, path.size() - 8));
    if (service == 0) {
        SendNotFound();
        return;
    }
    SendImage(WithPictures([&](const TServicePictures& pictures) {
        return pictures.GetServicePictureData(service, size);
    }));
}

void THTTPSessionThread::SendServiceIcon(const QString& name) {
    // An unknown name is service 0, whose icon is the product's.
    const std::int32_t service = server_.Tables().FindServiceByKey(name);
    const QByteArray bytes = WithPictures(
        [&](const TServicePictures& pictures) { return pictures.GetServiceIconFile(service); });
    SendLine(QStringLiteral("HTTP/1.0 200 OK"));
    SendLine(QStringLiteral("Content-Type: image/x-icon"));
    SendLine(QStringLiteral("Content-Length: ") + QString::number(bytes.size()));
    SendLine({});
    SendBytes(bytes);
}

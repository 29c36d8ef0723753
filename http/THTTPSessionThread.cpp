#include "http/THTTPSessionThread.h"

#include <QBuffer>
#include <chrono>
#include <optional>

#include "http/HTTPPages.h"
#include "http/HTTPRequest.h"
#include "http/HTTPText.h"
#include "http/THTTPSessionContext.h"
#include "http/TRecorderHTTP.h"
#include "http/TStreamFeed.h"
#include "http/TStreamListener.h"
#include "receiver/TMainControl.h"
#include "resources/Resources.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "windows/TServicePictures.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs `work` with the service pictures and returns its result.
template <class F>
auto WithPictures(const TServiceTablesWrapper& tables, F work) {
    // The program's pictures carry the branding; without them (tests) only the built-in ones.
    if (ServicePictures != nullptr) {
        return work(*ServicePictures);
    }
    const TServicePictures pictures(tables, QString());
    return work(pictures);
}

QByteArray Image(const std::optional<QByteArray>& image) {
    return image ? HTTPPages::Sized(QStringLiteral("image/gif"), *image) : HTTPPages::NotFound();
}

QByteArray StoredClip(const QString& name) {
    const std::optional<QByteArray> clip = Resources::Find(QStringLiteral("RCDATA"), name);
    return clip ? HTTPPages::Clip(*clip) : HTTPPages::NotFound();
}

}  // namespace

THTTPSessionThread::THTTPSessionThread(THTTPSessionContext& context, Request first,
                                       NextConnection next)
    : context_(context),
      next_(std::move(next)),
      first_(std::move(first)),
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
    Request request = std::move(first_);
    // Every connection goes back through the server, also when stopping: that is how it learns
    // the thread has ended.
    while (request.socket.IsValid()) {
        Serve(std::move(request));
        request = next_(this);
    }
}

void THTTPSessionThread::Serve(Request request) {
    RequestLines = HTTPRequest::SplitLines(request.head);
    {
        std::lock_guard guard(socketLock_);
        ClientSocket = std::move(request.socket);
        ClientSocket.SetTimeouts(kSocketTimeoutMs);
        connected_ = !stop_.stop_requested();
        State = kProcessing;
    }
    try {
        if (connected_) {
            ProcessRequest();
            if (State != kStreaming) {
                CloseSession();
            }
        }
    } catch (...) {
        // A failing collaborator (receiver, settings) ends this connection only.
    }
    CleanUp();
}

void THTTPSessionThread::CleanUp() {
    State = kFinished;
    RequestLines.clear();
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

// ---- Request ------------------------------------------------------------------------------

void THTTPSessionThread::ProcessRequest() {
    using HTTPRequest::Target;
    const HTTPRequest::Route route =
        HTTPRequest::RouteRequest(RequestLines, [this] { return Authenticated(); });
    TServiceTablesWrapper& tables = context_.Tables();
    switch (route.target) {
        case Target::None:
            break;
        case Target::Redirect:
            SendBytes(HTTPPages::Redirect(
                QStringLiteral("http://") + GetHost(false) + QStringLiteral("/index.htm"), true));
            break;
        case Target::Unauthorized:
            SendBytes(HTTPPages::Unauthorized());
            break;
        case Target::NotAllowed:
            SendBytes(HTTPPages::MethodNotAllowed());
            break;
        case Target::IndexPage:
            SendBytes(HTTPPages::IndexPage(tables));
            break;
        case Target::ServiceList:
        case Target::EnsembleList: {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            if (route.target == Target::ServiceList) {
                tables.WriteServices(buffer);
            } else {
                tables.WriteEnsembles(buffer);
            }
            SendBytes(HTTPPages::Sized(QStringLiteral("text/x-csv"), buffer.data()));
            break;
        }
        case Target::Playlist:
            SendPlaylist(route.name);
            break;
        case Target::Stream:
            SendStream(route.name);
            break;
        case Target::RawStream:
            SendRawStream(route.name);
            break;
        case Target::Logo:
            SendBytes(Image(Resources::Find(QStringLiteral("GIF"), QStringLiteral("TUNORA"))));
            break;
        case Target::Spacer:
            SendBytes(Image(Resources::Find(QStringLiteral("GIF"), QStringLiteral("1X1"))));
            break;
        case Target::ServicePicture:
            SendServicePicture(route.name, route.pictureSize);
            break;
        case Target::ServiceIcon:
            SendServiceIcon(route.name);
            break;
        case Target::NotFound:
            SendBytes(HTTPPages::NotFound());
            break;
    }
}

QString THTTPSessionThread::GetHeader(const QString& name) const {
    return HTTPRequest::GetHeader(RequestLines, name);
}

QString THTTPSessionThread::GetHost(bool addPort) const {
    return HTTPRequest::GetHost(
        RequestLines, addPort,
        ClientSocket.LocalAddress().HostText() + u':' + QString::number(context_.Port()));
}

bool THTTPSessionThread::Authenticated() const {
    const QString password = context_.Settings().ReadString(Setting::ServerPassword);
    if (password.isEmpty() || context_.IsLocal(ClientSocket.LocalAddress())) {
        return true;
    }
    return HTTPText::CredentialsMatch(password, GetHeader(QStringLiteral("Authorization: Basic ")));
}

bool THTTPSessionThread::SendBytes(const QByteArray& bytes) {
    if (!connected_) {
        return false;
    }
    if (!ClientSocket.SendAll(bytes.constData(), static_cast<std::size_t>(bytes.size()))) {
        CloseSession();
        return false;
    }
    return true;
}

// ---- Streams and playlists ----------------------------------------------------------------

void THTTPSessionThread::SendPlaylist(const QString& name) {
    TServiceTablesWrapper& tables = context_.Tables();
    const std::int32_t service = tables.FindServiceByKey(name);
    if (service == 0) {
        SendBytes(HTTPPages::NotFound());
        return;
    }
    SendBytes(HTTPPages::Playlist(GetHost(true), name, tables.GetServiceLabel(service)));
}

void THTTPSessionThread::SendStream(const QString& name) {
    TServiceTablesWrapper& tables = context_.Tables();
    const std::int32_t service = tables.FindServiceByKey(name);
    if (service == 0 || tables.GetServiceFrequency(service) == 0 ||
        tables.GetServiceKind(service) != u'A') {
        SendBytes(HTTPPages::NotFound());
        return;
    }
    enum class Choice { Stream, NotSafe, Unavailable } choice = Choice::Stream;
    const bool asked = context_.CallController([&] {
        TMainControl& control = context_.Control();
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
    // A service the receiver lists but cannot play (DAB+) is "not available", not "not now".
    const auto refused = [](bool notDecodable) {
        return StoredClip(notDecodable ? QStringLiteral("UNAVAILABLE") : QStringLiteral("NOTSAFE"));
    };
    if (choice != Choice::Stream) {
        SendBytes(refused(choice == Choice::Unavailable));
        return;
    }
    const QString value = GetHeader(QStringLiteral("Icy-MetaData:")).trimmed();
    const QString serviceName = tables.GetServiceLabel(service);
    if (value.isEmpty()) {
        StartStream(service, HTTPPages::StreamHead(), 0, serviceName, refused, kStreamDelayMs);
        return;
    }
    const int metaInterval = value.toInt() < 1 ? 0 : HTTPText::kMetaInterval;
    StartStream(
        service,
        HTTPPages::IcyHead(serviceName, tables.GetServiceProgrammeTypeName(service), metaInterval),
        metaInterval, serviceName, refused, kStreamDelayMs);
}

void THTTPSessionThread::SendRawStream(const QString& name) {
    TServiceTablesWrapper& tables = context_.Tables();
    const std::int32_t service = tables.FindServiceByKey(name);
    if (service == 0) {
        SendBytes(HTTPPages::NotFound());
        return;
    }
    StartStream(
        service, HTTPPages::RawStreamHead(), 0, tables.GetServiceLabel(service),
        [](bool) { return HTTPPages::Unavailable(); }, 0);
}

void THTTPSessionThread::StartStream(std::int32_t serviceId, QByteArray head, int metaInterval,
                                     const QString& serviceName,
                                     std::function<QByteArray(bool notDecodable)> refused,
                                     int delayMs) {
    if (!connected_) {
        return;
    }
    TStreamWriter& writer = context_.Writer();
    std::shared_ptr<TStreamFeed> feed = writer.FeedFor(serviceId, serviceName);
    if (metaInterval > 0) {
        feed->SetWantsTitles();
    }
    auto recorder =
        std::make_unique<TRecorderHTTP>(serviceId, context_.Tables(), feed, metaInterval > 0);
    TSocket socket;
    {
        std::lock_guard guard(socketLock_);
        socket = std::move(ClientSocket);
        connected_ = false;
    }
    State = kStreaming;
    auto listener = std::make_unique<TStreamListener>(
        std::move(socket), std::move(feed), std::move(recorder), metaInterval, std::move(head),
        std::move(refused), Clock::now() + std::chrono::milliseconds(delayMs));
    // Refused only while the server stops: the listener closes with it, its recorder never added.
    writer.Add(listener);
}

// ---- Pictures and icons -------------------------------------------------------------------

void THTTPSessionThread::SendServicePicture(const QString& name, int size) {
    const std::int32_t service = context_.Tables().FindServiceByKey(name);
    if (service == 0) {
        SendBytes(HTTPPages::NotFound());
        return;
    }
    SendBytes(Image(WithPictures(context_.Tables(), [&](const TServicePictures& pictures) {
        return pictures.GetServicePictureData(service, size);
    })));
}

void THTTPSessionThread::SendServiceIcon(const QString& name) {
    // An unknown name is service 0, whose icon is the product's.
    const std::int32_t service = context_.Tables().FindServiceByKey(name);
    SendBytes(
        HTTPPages::Sized(QStringLiteral("image/x-icon"),
                         WithPictures(context_.Tables(), [&](const TServicePictures& pictures) {
                             return pictures.GetServiceIconFile(service);
                         })));
}

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "http/HTTPText.h"
#include "http/TStreamWriter.h"
#include "resources/Resources.h"
#include "tests/http/HTTPFixture.h"
#include "tests/receiver/TestRecorder.h"
#include "tests/sim/PadReader.h"

namespace {

const std::string kUnavailable =
    "HTTP/1.0 503 Service Unavailable\r\nContent-Type: text/html\r\n\r\n"
    "<HTML><HEAD><TITLE>Tunora - Unavailable</TITLE></HEAD>\r\n"
    "<BODY><H1>Object currently unavailable.</H1><BR></BODY></HTML>\r\n\r\n";

constexpr std::int32_t kRadioOneComponent = 101;

// A 384-byte DAB audio frame (128 kbit/s stereo, no PAD) numbered in its filler bytes.
std::vector<std::uint8_t> Numbered(std::uint32_t number) {
    std::vector<std::uint8_t> frame = PadFrame(kStereo128, {0, 0, 0, 0}, 0, 0);
    std::memcpy(frame.data() + 8, &number, sizeof(number));
    return frame;
}

std::uint32_t NumberOf(const std::string& bytes, std::size_t offset) {
    std::uint32_t number = 0;
    std::memcpy(&number, bytes.data() + offset + 8, sizeof(number));
    return number;
}

std::string Clip(const char* name) {
    const QByteArray bytes =
        Resources::Find(QStringLiteral("RCDATA"), QString::fromLatin1(name)).value_or(QByteArray());
    return "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: " +
           std::to_string(bytes.size()) +
           "\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n\r\n" + bytes.toStdString();
}

// A listener on its own thread: sends the request and collects the answer until it ends.
class Listener {
public:
    Listener(std::uint16_t port, const std::string& request)
        : client_(port), thread_([this, request] {
              client_.Send(request);
              for (std::string chunk; !(chunk = client_.ReadSome()).empty();) {
                  std::lock_guard guard(lock_);
                  received_ += chunk;
              }
              closed_ = true;
          }) {}
    // Leaves: the server notices when its next write fails.
    ~Listener() {
        client_.Shutdown();
        thread_.join();
    }

    bool Closed() const { return closed_; }
    bool HeadDone() const { return !Head().empty(); }
    // The answer up to and including the blank line that ends its head, and what follows.
    std::string Head() const { return Part(true); }
    std::string Body() const { return Part(false); }
    std::size_t Size() const { return Body().size(); }

private:
    std::string Part(bool head) const {
        std::lock_guard guard(lock_);
        const std::size_t end = received_.find("\r\n\r\n");
        if (end == std::string::npos) {
            return {};
        }
        return head ? received_.substr(0, end + 4) : received_.substr(end + 4);
    }

    TestClient client_;
    mutable std::mutex lock_;
    std::string received_;
    std::atomic<bool> closed_{false};
    std::thread thread_;
};

class HTTPStreamTest : public HTTPFixture {
protected:
    // Radio One plays on the settled ensemble, so its stream label is the component's label.
    void PlayRadioOne() {
        Settle(k12B);
        control.PlayService(radioOne, false);
    }
    // Radio One's ICY head up to, without, "icy-metaint:" and the blank line.
    std::string IcyHead() const {
        return "ICY 200 OK\r\n"
               "icy-notice1:<BR>This stream requires an MPEG-1 Layer 2 player, see the <a "
               "href=\"https://tunora.org/\">Tunora web site</a> for more information.<BR>\r\n"
               "icy-notice2:Tunora digital radio server/Version 1.4 Dev 10\r\n"
               "icy-name:Radio One\r\nicy-genre:" +
               tables.GetServiceProgrammeTypeName(radioOne).toStdString() +
               "\r\nicy-url:https://tunora.org/\r\nicy-pub:1\r\n";
    }
    bool StreamsAttached(int count) {
        return PollUntil([&] { return control.GetAttachedRecorders().size() == count; });
    }
    void Deliver(std::uint32_t first, std::uint32_t count,
                 std::int32_t component = kRadioOneComponent) {
        for (std::uint32_t i = 0; i < count; ++i) {
            fake.Deliver(component, Numbered(first + i));
        }
    }
    // Keeps audio coming until the sessions of departed listeners fail to write and hand their
    // recorders back, leaving `count` attached.
    bool FeedUntilAttached(int count, std::int32_t component = kRadioOneComponent) {
        return PollUntil([&] {
            Deliver(0, 1, component);
            PumpEvents(100);
            return control.GetAttachedRecorders().size() == count;
        });
    }
};

}  // namespace

// A ".mp2" request without titles (plain, or "Icy-MetaData: 0", which gets the ICY head
// without "icy-metaint:") gets the audio blocks as they came, and the stream counts as one on
// the controller until the listener leaves.
TEST_F(HTTPStreamTest, StreamsAudioWithoutTitles) {
    PlayRadioOne();
    const std::pair<std::string, std::string> cases[] = {
        {"",
         "HTTP/1.0 200 OK\r\nServer: Tunora/1.4 Dev 10\r\nContent-Type: audio/mpeg\r\n"
         "Cache-Control: no-cache\r\nPragma: no-cache\r\nConnection: close\r\n"
         "Pragma: features=\"broadcast\"\r\nContent-Length: -1\r\n\r\n"},
        {"icy-metadata: 0\r\n", IcyHead() + "\r\n"}};
    for (const auto& [header, head] : cases) {
        {
            Listener listener(port, "GET /49374.mp2 HTTP/1.0\r\n" + header + "\r\n");
            ASSERT_TRUE(StreamsAttached(1));
            ASSERT_TRUE(PollUntil([&] { return listener.HeadDone(); }));
            EXPECT_EQ(listener.Head(), head);
            EXPECT_EQ(control.StreamingCountValue(), 1);
            EXPECT_FALSE(control.GetAttachedRecorders().front()->WantsPAD());
            Deliver(0, 10);
            ASSERT_TRUE(PollUntil([&] { return listener.Size() == 10 * 384; }));
            const std::string body = listener.Body();
            for (std::uint32_t i = 0; i < 10; ++i) {
                EXPECT_EQ(NumberOf(body, i * 384), i);
            }
        }
        ASSERT_TRUE(FeedUntilAttached(0));
        EXPECT_EQ(control.StreamingCountValue(), 0);
    }
}

// With titles asked for, exactly 245760 audio bytes pass between metadata blocks, the first after
// the first 245760 bytes, and the block carries the stream's dynamic label.
TEST_F(HTTPStreamTest, InsertsMetadataEvery245760Bytes) {
    PlayRadioOne();
    fake.dynamicLabels[kRadioOneComponent] = "Morning Show";
    Listener listener(port, "GET /49374.mp2 HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n");
    ASSERT_TRUE(StreamsAttached(1));
    ASSERT_TRUE(PollUntil([&] { return listener.HeadDone(); }));
    EXPECT_EQ(listener.Head(), IcyHead() + "icy-metaint:245760\r\n\r\n");
    EXPECT_TRUE(control.GetAttachedRecorders().front()->WantsPAD());

    // 1300 frames = 499200 bytes: two metadata blocks, batches small enough never to drop.
    const std::string block = HTTPText::MetadataBlock(QStringLiteral("Morning Show")).toStdString();
    std::uint32_t sent = 0;
    while (sent < 1300) {
        Deliver(sent, 100);
        sent += 100;
        const std::size_t metadata = (sent * 384) / 245760 * block.size();
        ASSERT_TRUE(PollUntil([&] { return listener.Size() >= sent * 384 + metadata; }));
    }
    const std::string body = listener.Body();
    ASSERT_EQ(body.size(), 1300u * 384 + 2 * block.size());
    EXPECT_EQ(body.substr(245760, block.size()), block);
    EXPECT_EQ(body.substr(2 * 245760 + block.size(), block.size()), block);
    std::string audio = body.substr(0, 245760) + body.substr(245760 + block.size(), 245760) +
                        body.substr(2 * 245760 + 2 * block.size());
    ASSERT_EQ(audio.size(), 1300u * 384);
    for (std::uint32_t i = 0; i < 1300; ++i) {
        ASSERT_EQ(NumberOf(audio, i * 384), i) << "frame " << i;
    }
}

// A listener that falls behind loses blocks once 256 are queued: the newest 64 are kept and the
// stream goes on from there.
TEST_F(HTTPStreamTest, DropsTheOldestBlocksAt256) {
    PlayRadioOne();
    Listener listener(port, "GET /49374.dat HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(StreamsAttached(1));
    ASSERT_TRUE(PollUntil([&] { return listener.HeadDone(); }));
    EXPECT_EQ(listener.Head(), "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");

    // The writer writes a listener once per tick: a burst delivered within one tick after the
    // marker arrived lands in one backlog.
    Deliver(0, 1);
    ASSERT_TRUE(PollUntil([&] { return listener.Size() == 384; }));
    QElapsedTimer burst;
    burst.start();
    Deliver(1, 300);
    const bool oneTick = burst.elapsed() < TStreamWriter::kTick.count() - 150;
    ASSERT_TRUE(PollUntil([&] { return NumberOf(listener.Body(), listener.Size() - 384) == 300; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const std::string body = listener.Body();
    ASSERT_EQ(body.size() % 384, 0u);
    if (oneTick) {
        // Blocks 1..256 reached 256 and were cut to 193..256; 257..300 followed.
        ASSERT_EQ(body.size(), 384u * (1 + 108));
        for (std::uint32_t i = 0; i < 108; ++i) {
            EXPECT_EQ(NumberOf(body, 384 * (1 + i)), 193 + i);
        }
    } else {
        // A slow machine (a sanitizer build) spread the burst over ticks: whatever was cut, the
        // blocks kept keep their order and the newest 64 all arrive.
        const std::size_t frames = body.size() / 384;
        ASSERT_GE(frames, 65u);
        for (std::size_t i = 1; i + 1 < frames; ++i) {
            EXPECT_LT(NumberOf(body, 384 * i), NumberOf(body, 384 * (i + 1)));
        }
        EXPECT_EQ(NumberOf(body, 384 * (frames - 64)), 237u);
    }
}

// A service the receiver lists but cannot pass on (DAB+) is answered with the UNAVAILABLE clip,
// not with NOTSAFE's "cannot switch now".
TEST_F(HTTPStreamTest, UndecodableServiceIsUnavailable) {
    Settle(k12B);
    fake.failing = "StartCapture";
    fake.failStatus = RxNotImplemented;
    EXPECT_EQ(Get("GET /49374.mp2 HTTP/1.0\r\n\r\n"), Clip("UNAVAILABLE"));
    fake.failStatus = RxFail;
    EXPECT_EQ(Get("GET /49374.mp2 HTTP/1.0\r\n\r\n"), Clip("NOTSAFE"));
    fake.failing.clear();
}

// While a recording runs on one ensemble, a service on another gets the NOTSAFE clip (".mp2")
// or 503 (".dat"); a service on the tuned ensemble that is not on air gets UNAVAILABLE; a data
// service or an unknown name is not streamed as ".mp2", but a data service is as ".dat".
TEST_F(HTTPStreamTest, ChoosesClipsAndRefusals) {
    PlayRadioOne();
    TestRecorder recording(radioOne, tables, 0);
    control.AddRecorder(&recording);

    EXPECT_EQ(Get("GET /53249.mp2 HTTP/1.0\r\n\r\n"), Clip("NOTSAFE"));  // Other A, 0xD001
    EXPECT_EQ(Get("GET /53249.dat HTTP/1.0\r\n\r\n"), kUnavailable);

    const std::int32_t gone = tables.AddService(0xC0DF, 0, QStringLiteral("Gone"), u'A', 1, k12B);
    ASSERT_NE(gone, 0);
    EXPECT_EQ(Get("GET /49375.mp2 HTTP/1.0\r\n\r\n"), Clip("UNAVAILABLE"));

    const std::string notFound = "HTTP/1.0 404 Not Found\r\n";
    EXPECT_EQ(Get("GET /193.mp2 HTTP/1.0\r\n\r\n").rfind(notFound, 0), 0u);  // Data Link
    EXPECT_EQ(Get("GET /4242.mp2 HTTP/1.0\r\n\r\n").rfind(notFound, 0), 0u);
    EXPECT_EQ(Get("GET /4242.dat HTTP/1.0\r\n\r\n").rfind(notFound, 0), 0u);
    {
        Listener data(port, "GET /193.dat HTTP/1.0\r\n\r\n");
        ASSERT_TRUE(StreamsAttached(2));
        ASSERT_TRUE(PollUntil([&] { return data.HeadDone(); }));
        EXPECT_EQ(data.Head().rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    }
    ASSERT_TRUE(FeedUntilAttached(1, 103));
    control.RemoveRecorder(&recording);
}

// Two stream requests for services on different ensembles within the wait: only one of them
// gets the receiver, the other the NOTSAFE clip.
TEST_F(HTTPStreamTest, GivesTheReceiverToOneOfTwoEnsembles) {
    Settle(k12B);
    Listener one(port, "GET /49374.mp2 HTTP/1.0\r\n\r\n");    // Radio One, 12B
    Listener other(port, "GET /53249.mp2 HTTP/1.0\r\n\r\n");  // Other A, 11D
    ASSERT_TRUE(PollUntil([&] { return one.Closed() || other.Closed(); }));
    const Listener& loser = one.Closed() ? one : other;
    EXPECT_EQ(loser.Head() + loser.Body(), Clip("NOTSAFE"));
    const Listener& winner = one.Closed() ? other : one;
    ASSERT_TRUE(PollUntil([&] { return winner.HeadDone(); }));
    EXPECT_EQ(winner.Head().rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_EQ(control.StreamingCountValue(), 1);
}

// The stored clips are MPEG-2 Layer III, 16 kHz, mono, 24 kbit/s after an ID3v2.3 tag, of the
// sizes the server announces.
TEST(HTTPClips, AreTaggedLowRateMp3OfTheirSizes) {
    for (const auto& [name, size] :
         {std::pair{"NOTSAFE", 18432}, std::pair{"UNAVAILABLE", 10240}}) {
        const QByteArray clip = Resources::Find(QStringLiteral("RCDATA"), QString::fromLatin1(name))
                                    .value_or(QByteArray());
        ASSERT_EQ(clip.size(), size) << name;
        ASSERT_TRUE(clip.startsWith(QByteArray("ID3\x03\x00", 5))) << name;
        const auto b = [&](int i) { return static_cast<unsigned char>(clip[i]); };
        const int tag = 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
        ASSERT_EQ((size - tag) % 108, 0) << name;
        for (int offset = tag; offset < size; offset += 108) {
            // Sync, MPEG-2, Layer III; 24 kbit/s, 16 kHz, no padding; mono.
            ASSERT_TRUE(b(offset) == 0xFF && (b(offset + 1) & 0xFE) == 0xF2 &&
                        (b(offset + 2) & 0xFE) == 0x38 && (b(offset + 3) & 0xC0) == 0xC0)
                << name << " at " << offset;
        }
    }
}

// Shutting the server down with listeners streaming and a session waiting for the main thread
// ends every session, hands every recorder back to the controller and closes every client.
TEST_F(HTTPStreamTest, ShutsDownWithLiveListeners) {
    PlayRadioOne();
    std::vector<std::unique_ptr<Listener>> listeners;
    for (int i = 0; i < 3; ++i) {
        listeners.push_back(
            std::make_unique<Listener>(port, "GET /49374.mp2 HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n"));
    }
    ASSERT_TRUE(StreamsAttached(3));
    ASSERT_TRUE(PollUntil([&] {
        for (const auto& l : listeners) {
            if (!l->HeadDone()) {
                return false;
            }
        }
        return true;
    }));
    Deliver(0, 5);
    ASSERT_TRUE(PollUntil([&] { return listeners.back()->Size() == 5 * 384; }));

    // This one asks the controller while the main thread does not pump: it waits for it.
    Listener waiting(port, "GET /49374.mp2 HTTP/1.0\r\n\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    QElapsedTimer timer;
    timer.start();
    server.reset();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(control.StreamingCountValue(), 0);
    EXPECT_TRUE(control.GetAttachedRecorders().isEmpty());
    EXPECT_TRUE(control.GetPendingRecorders().isEmpty());
    for (const auto& l : listeners) {
        EXPECT_TRUE(PollUntil([&] { return l->Closed(); }, 3000));
    }
    EXPECT_TRUE(PollUntil([&] { return waiting.Closed(); }, 3000));
    EXPECT_EQ(waiting.Head(), "");
    Deliver(5, 5);  // nobody is attached any more
}

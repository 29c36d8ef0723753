#include <gtest/gtest.h>

#include <vector>

#include "http/TStreamFeed.h"

namespace {

QByteArray Frame(int number) {
    return QByteArray(384, static_cast<char>(number));
}

void Append(TStreamFeed& feed, std::uint64_t& claimed, const QByteArray& frame) {
    feed.Append(claimed, reinterpret_cast<const std::uint8_t*>(frame.constData()),
                static_cast<std::int32_t>(frame.size()));
}

}  // namespace

// Every recorder of a service is handed each frame; the feed stores it once (also when two
// frames in a row are alike) and every reader gets the same stored bytes, in order.
TEST(StreamFeed, StoresEachFrameOnceForAllRecorders) {
    TStreamFeed feed(1, QStringLiteral("One"));
    std::uint64_t first = feed.NextNumber();
    std::uint64_t second = first;
    for (const int number : {1, 2, 2, 3}) {
        Append(feed, first, Frame(number));
        Append(feed, second, Frame(number));
    }
    std::uint64_t late = feed.NextNumber();  // joins now: its first frame leads
    Append(feed, late, Frame(4));
    Append(feed, first, Frame(4));
    Append(feed, second, Frame(4));

    std::vector<QByteArray> a;
    std::vector<QByteArray> b;
    EXPECT_EQ(feed.Collect(0, a, 100), 0u);
    EXPECT_EQ(feed.Collect(2, b, 2), 2u);
    ASSERT_EQ(a, (std::vector<QByteArray>{Frame(1), Frame(2), Frame(2), Frame(3), Frame(4)}));
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].constData(), a[2].constData());  // shared, not copied per reader
}

// A reader's backlog is cut to the newest 64 frames each time it reaches 256, as if every frame
// had been queued on arrival.
TEST(StreamFeed, CutsABacklogAt256ToTheNewest64) {
    for (const auto& [backlog, kept] :
         {std::pair{255, 255}, std::pair{256, 64}, std::pair{300, 108}, std::pair{447, 255},
          std::pair{448, 64}, std::pair{1000, 64 + 744 % 192}}) {
        TStreamFeed feed(1, QStringLiteral("One"));
        std::uint64_t claimed = feed.NextNumber();
        for (int i = 0; i < backlog; ++i) {
            Append(feed, claimed, Frame(i));
        }
        std::vector<QByteArray> frames;
        EXPECT_EQ(feed.Collect(0, frames, 1000), static_cast<std::uint64_t>(backlog - kept))
            << backlog;
        ASSERT_EQ(frames.size(), static_cast<std::size_t>(kept)) << backlog;
        EXPECT_EQ(frames.front(), Frame(backlog - kept)) << backlog;
    }
}

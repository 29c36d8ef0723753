#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "eti/EtiFrame.h"
#include "eti/EtiStreamReader.h"
#include "sim/AirFile.h"
#include "tests/eti/EtiWriter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 48 kHz stereo service with a secondary component, a 24 kHz one with dynamic labels, and a
// data service.
const char* const kAir = R"(
ensemble 218.640 eid=0xC1A1 label="Harbourline DAB"
service sid=0xC2A1 label="Harbour FM" pty=10
audio label="Harbour FM" bitrate=128 content=music
audio label="Harbour Extra" bitrate=64 mode=mono
service sid=0xC2A2 label="Saltmarsh Talk" pty=1
audio label="Saltmarsh Talk" bitrate=48 mode=mono rate=24 rotate=0.5
dls "Saltmarsh Talk: the tide table"
service sid=0xE1C2A103 label="Harbour Traffic"
data label="Harbour Traffic" type=5 bitrate=16
)";

const AirEnsemble& Ensemble() {
    static const Air air = AirFile::Parse(kAir);
    return air.ensembles.front();
}

const Bytes& Stream() {
    static const Bytes bytes = EtiWriter::Write(Ensemble(), {.seconds = 0.096});
    return bytes;
}

void SetWord(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

// Recomputes the header CRC of the frame at `at` after a field was changed.
void Reseal(Bytes& b, std::size_t at) {
    const std::size_t length = 4 + 4 * (b[at + 5] & 0x7F) + 2;
    SetWord(b, at + 4 + length, EtiFrame::Crc16(b.data() + at + 4, length));
}

struct ReaderCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    EtiStreamReader::Counts expected;  // frames, badCrc, badLength, skippedBytes, truncated
};

}  // namespace

// Damaged frames are skipped and counted under their fault, garbage is skipped byte by byte
// until sync is found again, and a truncated last frame is dropped, whatever pieces the bytes
// arrive in.
TEST(EtiStreamReaderTest, SkipsAndCountsWhatCannotBeTrusted) {
    constexpr std::size_t F = EtiFrame::kSize;
    const Bytes garbage = [] {
        Bytes g(1000);
        for (std::size_t i = 0; i < g.size(); ++i) {
            g[i] = static_cast<std::uint8_t>(i * 37 + 11);
        }
        g[500] = 0xFF;  // a sync pattern that leads nowhere
        g[501] = 0x07;
        g[502] = 0x3A;
        g[503] = 0xB6;
        return g;
    }();
    const std::vector<ReaderCase> cases = {
        {"clean, both sync values", [](Bytes&) {}, {4, 0, 0, 0, 0}},
        {"odd sync out of turn",
         [](Bytes& b) { b[F + 1] = 0x07, b[F + 2] = 0x3A, b[F + 3] = 0xB6; },
         {4, 0, 0, 0, 0}},
        {"header CRC", [](Bytes& b) { b[F + 4] ^= 0x01; }, {3, 1, 0, 0, 0}},
        {"FL one word short",
         [](Bytes& b) { b[2 * F + 7] -= 1, Reseal(b, 2 * F); },
         {3, 0, 1, 0, 0}},
        {"STL past the frame's end",
         [](Bytes& b) {
             // The first stream's STL 737 instead of 48, and FL to match: 1599 words > 1532.
             b[F + 10] = static_cast<std::uint8_t>((b[F + 10] & 0xFC) | 2), b[F + 11] = 0xE1;
             SetWord(b, F + 6, static_cast<std::uint16_t>((b[F + 6] & 0xF8) << 8 | 1599));
             Reseal(b, F);
         },
         {3, 0, 1, 0, 0}},
        {"garbage between frames",
         [&](Bytes& b) { b.insert(b.begin() + 2 * F, garbage.begin(), garbage.end()); },
         {4, 0, 0, 1000, 0}},
        {"garbage first",
         [&](Bytes& b) { b.insert(b.begin(), garbage.begin(), garbage.end()); },
         {4, 0, 0, 1000, 0}},
        {"truncated file", [](Bytes& b) { b.resize(3 * F + 3000); }, {3, 0, 0, 3000, 1}},
        {"damaged last frame", [](Bytes& b) { b[3 * F + 4] ^= 0x80; }, {3, 1, 0, 0, 0}},
    };
    for (const ReaderCase& c : cases) {
        Bytes bytes = Stream();
        c.damage(bytes);
        for (std::size_t piece : {bytes.size(), std::size_t{997}}) {
            std::vector<int> counts;
            EtiStreamReader reader([&](const EtiFrameView& v) { counts.push_back(v.frameCount); });
            for (std::size_t at = 0; at < bytes.size(); at += piece) {
                reader.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
            }
            reader.Finish();
            const EtiStreamReader::Counts got = reader.GetCounts();
            const std::string where = std::string(c.name) + ", pieces of " + std::to_string(piece);
            const auto fields = [](const EtiStreamReader::Counts& n) {
                return std::tuple(n.frames, n.badCrc, n.badLength, n.skippedBytes, n.truncated);
            };
            EXPECT_EQ(fields(got), fields(c.expected)) << where;
            EXPECT_EQ(counts.size(), got.frames) << where;
            for (std::size_t i = 1; i < counts.size(); ++i) {
                EXPECT_LT(counts[i - 1], counts[i]) << where;
            }
        }
    }
}

// A written frame parses back to mode I with a 96-byte FIC, its frame count and the written
// error level, and one stream per component in declaration order with its sub-channel's size.
TEST(EtiFrameTest, WrittenFramesParseBackToWhatWasWritten) {
    for (int level = 0; level < 4; ++level) {
        const Bytes bytes = EtiWriter::Write(Ensemble(), {.seconds = 0.096, .errorLevel = level});
        ASSERT_EQ(bytes.size(), 4 * EtiFrame::kSize);
        for (std::size_t n = 0; n < 4; ++n) {
            EtiFrameView v;
            ASSERT_EQ(EtiFrame::Parse(bytes.data() + n * EtiFrame::kSize, v), EtiFrameFault::None);
            EXPECT_EQ(std::tie(v.errorLevel, v.frameCount, v.mode, v.ficLength),
                      std::tuple(level, static_cast<int>(n), 1, std::size_t{96}));
            ASSERT_EQ(v.streams.size(), 4u);
            const std::size_t lengths[] = {384, 192, 144, 48};
            for (std::size_t i = 0; i < 4; ++i) {
                EXPECT_EQ(v.streams[i].subChannelId, static_cast<int>(i));
                EXPECT_EQ(v.streams[i].length, lengths[i]);
            }
        }
    }
}

// The CRC of ETI headers and FIBs is CRC-16 with preset ones, inverted: check value 0xD64E.
TEST(EtiFrameTest, CrcMatchesTheStandardCheckValue) {
    const std::string digits = "123456789";
    EXPECT_EQ(EtiFrame::Crc16(reinterpret_cast<const std::uint8_t*>(digits.data()), 9), 0xD64E);
}

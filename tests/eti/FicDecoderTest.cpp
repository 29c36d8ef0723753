#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "eti/FicDecoder.h"
#include "sim/PadEncoder.h"

namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr int kNext = 0x80, kOther = 0x40, kLongIds = 0x20;  // C/N, OE, P/D of FIG 0

Bytes Fig0(int extension, Bytes body, int flags = 0) {
    body.insert(body.begin(), {std::uint8_t(body.size() + 1), std::uint8_t(flags | extension)});
    return body;
}

// A FIG 1 label: `id` is the identifier field, `label` padded with blanks to 16 bytes.
Bytes Fig1(int extension, int charset, Bytes id, std::string label, bool other = false) {
    label.resize(16, ' ');
    id.insert(id.begin(), std::uint8_t(charset << 4 | (other ? 8 : 0) | extension));
    id.insert(id.end(), label.begin(), label.end());
    id.insert(id.end(), {0xFF, 0x00});  // character flags
    id.insert(id.begin(), std::uint8_t(0x20 | id.size()));
    return id;
}

// FIBs carrying `figs` in order, each ended, padded and sealed with the PAD's (same) CRC.
Bytes Fic(const std::vector<Bytes>& figs) {
    Bytes fic, fib;
    const auto seal = [&] {
        fib.push_back(0xFF);
        fib.resize(30, 0x00);
        const std::uint16_t crc = PadEncoder::Crc16(fib.data(), fib.size());
        fib.insert(fib.end(), {std::uint8_t(crc >> 8), std::uint8_t(crc)});
        fic.insert(fic.end(), fib.begin(), fib.end());
        fib.clear();
    };
    for (const Bytes& fig : figs) {
        if (fib.size() + fig.size() > 30) {
            seal();
        }
        fib.insert(fib.end(), fig.begin(), fig.end());
    }
    seal();
    return fic;
}

FicDecoder Decode(const Bytes& fic) {
    FicDecoder d;
    d.Feed(fic.data(), fic.size());
    return d;
}

std::string Hex(std::uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%X", v);
    return text;
}

template <typename... T>
std::string Join(const T&... values) {
    std::ostringstream out;
    const char* gap = "";
    ((out << gap << values, gap = " "), ...);
    return out.str();
}

// The ensemble as text lines, to compare whole.
std::vector<std::string> Lines(const FicEnsemble& e) {
    std::vector<std::string> lines{Join(Hex(e.eid), "[" + e.label + "]")};
    for (const FicService& s : e.services) {
        lines.push_back(Join(Hex(s.sid), s.longId, "[" + s.label + "]", s.programmeType));
        for (const FicComponent& c : s.components) {
            lines.push_back(Join("-", c.primary, c.tmid, c.type, c.subChannelId, c.packetId,
                                 c.packetAddress, c.scids, "[" + c.label + "]"));
        }
    }
    for (const auto& [id, c] : e.subChannels) {
        lines.push_back(Join("sub", id, c.startAddress, c.size, c.shortForm, c.protection,
                             c.protectionLevel, c.bitrate));
    }
    return lines;
}

}  // namespace

// Every short-form index gives its table entry: spot values of the standard's table, bit rates
// rising with the index and, within one bit rate, size growing as the level falls; the long
// form turns size into bit rate for EEP options A and B; reserved options and tables are left.
TEST(FicDecoderTest, SubChannelSizesAndBitRates) {
    std::vector<Bytes> figs;
    for (int i = 0; i < 64; ++i) {
        figs.push_back(Fig0(1, {std::uint8_t(i << 2), 0, std::uint8_t(i)}));
    }
    const FicDecoder d = Decode(Fic(figs));
    const auto& s = d.Ensemble().subChannels;
    ASSERT_EQ(s.size(), 64u);
    const int spots[][4] = {{0, 16, 5, 32}, {8, 42, 2, 48}, {37, 140, 1, 128}, {63, 416, 1, 384}};
    for (const auto& [index, size, level, bitrate] : spots) {
        EXPECT_EQ(Join(s.at(index).size, s.at(index).protectionLevel, s.at(index).bitrate),
                  Join(size, level, bitrate));
    }
    for (int i = 1; i < 64; ++i) {
        const FicSubChannel &a = s.at(i - 1), &b = s.at(i);
        EXPECT_TRUE(a.bitrate < b.bitrate || (a.bitrate == b.bitrate && a.size < b.size &&
                                              a.protectionLevel > b.protectionLevel))
            << i;
    }
    // EEP 3-A of 72 CU, 2-B of 42 CU, a reserved option, the reserved short-form table.
    const FicDecoder l = Decode(Fic({Fig0(1, {0x04, 0x8C, 0x88, 72, 0x08, 0xD4, 0x94, 42,  //
                                              0x0C, 0, 0xA0, 10, 0x10, 0, 0x45})}));
    EXPECT_EQ(Lines(l.Ensemble()),
              (std::vector<std::string>{"0 []", "sub 1 140 72 0 2 3 96", "sub 2 212 42 0 5 2 64"}));
}

// An ensemble told in any FIG order: a 16-bit programme service with a secondary component
// labelled through 0/8 and 1/4, a 32-bit data service in packet mode through 0/3, labels in
// EBU Latin, UCS-2 and UTF-8 without their blanks and control codes; next-configuration and
// other-ensemble FIGs change nothing; Complete() waits for the packet component's 0/3.
TEST(FicDecoderTest, ServicesComponentsAndLabels) {
    const Bytes data{0xE0, 0x12, 0x34, 0x56};
    FicDecoder d;
    const Bytes first =
        Fic({Fig1(1, 0, {0xC2, 0x21}, "Caf\202 Ra\037dio\v"),
             Fig1(4, 6, {0x01, 0xC2, 0x21}, "\x04\x1C\x04\x38\0 \0 \0 \0 \0 \0 "s),
             Fig1(5, 0, data, "Traffic data"), Fig1(4, 0, {0x82, 0xE0, 0x12, 0x34, 0x56}, "TPEG"),
             Fig1(0, 15, {0x4F, 0xFF}, "Ensemble Ü"), Fig0(0, {0x4F, 0xFF, 0, 0}),
             Fig0(8, {0xC2, 0x21, 0x01, 0x02}),
             Fig0(8, {0xE0, 0x12, 0x34, 0x56, 0x82, 0x81, 0x23, 0}, kLongIds),
             Fig0(17, {0x11, 0x11, 0x30, 0x08, 0x04, 0x00, 0xC2, 0x21, 0x80, 10}),
             Fig0(1, {0x04, 0, 37, 0x08, 0x8C, 0x88, 72, 0x0C, 0xD4, 0x94, 42}),
             Fig0(2, {0xC2, 0x21, 0x02, 0x3F, 0x08, 0x00, 0x06}),
             Fig0(2, {0xE0, 0x12, 0x34, 0x56, 0x01, 0xC4, 0x8E}, kLongIds),
             Fig0(2, {0x99, 0x99, 0x01, 0x00, 0x06}, kNext),
             Fig0(17, {0xC2, 0x21, 0x80, 1}, kOther), Fig1(1, 0, {0xC2, 0x21}, "Elsewhere", true)});
    d.Feed(first.data(), first.size());
    EXPECT_FALSE(d.Complete());
    const Bytes packet = Fic({Fig0(3, {0x12, 0x31, 0x05, 0x0F, 0xFF, 0, 0})});
    d.Feed(packet.data(), packet.size());
    EXPECT_TRUE(d.Complete());
    const std::vector<std::string> expected{
        "4FFF [Ensemble Ü]",       "C221 0 [Café Radio] 10",      "- 1 0 0 1 -1 -1 -1 []",
        "- 0 0 63 2 -1 -1 1 [Ми]", "E0123456 1 [Traffic data] 0", "- 1 3 5 3 291 1023 2 [TPEG]",
        "sub 1 0 140 1 37 1 128",  "sub 2 140 72 0 2 3 96",       "sub 3 212 42 0 5 2 64"};
    EXPECT_EQ(Lines(d.Ensemble()), expected);

    d.Reset();
    EXPECT_TRUE(!d.Complete() && d.Ensemble().services.empty() && d.Fibs() == 0);
}

// Damaged input is never trusted: a FIB failing its CRC is counted and ignored, a FIG claiming
// more than its FIB holds is not read, unknown FIGs are skipped by their length, and a part FIB
// at the end of the FIC is left alone.
TEST(FicDecoderTest, DamagedFibsAndFigs) {
    Bytes bad = Fic({Fig0(0, {0x11, 0x11, 0, 0})});
    bad[3] ^= 0x01;
    const FicDecoder b = Decode(bad);
    EXPECT_TRUE(b.Fibs() == 1 && b.BadFibs() == 1 && !b.Ensemble().eidKnown);

    const FicDecoder t = Decode(Fic({Fig0(0, {0x12, 0x34, 0, 0}), {0x1D, 0x01, 0x04, 0, 37}}));
    EXPECT_EQ(Lines(t.Ensemble()), std::vector<std::string>{"1234 []"});

    Bytes skipped =
        Fic({{0xA4, 0x01, 0x04, 0, 37}, Fig0(31, {0x04, 0}), Fig0(0, {0x56, 0x78, 0, 0})});
    skipped.resize(skipped.size() + 20, 0xFF);
    const FicDecoder s = Decode(skipped);
    EXPECT_EQ(Lines(s.Ensemble()), std::vector<std::string>{"5678 []"});
    EXPECT_TRUE(s.Fibs() == 1 && s.BadFibs() == 0);
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eti/DynamicLabelDecoder.h"
#include "eti/EtiConfig.h"
#include "eti/LayerTwoAssembler.h"
#include "sim/PadEncoder.h"

namespace {

struct ConfigCase {
    const char* text;
    const char* error;  // empty: parses
};

// MPEG-1 48 kHz 128 kbit/s stereo, MPEG-2 24 kHz 48 kbit/s mono (two ETI frames a frame) and
// MPEG-1 48 kbit/s mono (the short ScF-CRC).
struct LayerCase {
    std::uint8_t header[4];
    std::size_t frame;
    std::size_t subChannel;  // bytes per ETI frame
    int scfCrc;
};
const LayerCase kLayers[] = {
    {{0xFF, 0xFC, 0x84, 0x00}, 384, 384, 4},
    {{0xFF, 0xF4, 0x64, 0xC0}, 288, 144, 4},
    {{0xFF, 0xFC, 0x24, 0xC0}, 144, 144, 2},  // 48 kbit/s single channel: below 56
};

std::vector<std::vector<std::uint8_t>> Frames(const LayerCase& c, int count) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> f(c.frame, static_cast<std::uint8_t>(i));
        std::copy(c.header, c.header + 4, f.begin());
        if (i == 0) {
            std::copy(c.header, c.header + 4, f.begin() + 40);  // a sync word inside the audio
        }
        frames.push_back(f);
    }
    return frames;
}

}  // namespace

// Configurations parse or fail with the line and the reason; a second statement for a channel,
// an unknown channel and a missing recording are faults.
TEST(EtiConfigTest, StatementsAndFaults) {
    const ConfigCase cases[] = {
        {"# nothing\n\noption unpaced\n", ""},
        {"live * eti-cmdline-rtlsdr -C %c # the stick\nlive 218.640 dab2eti %k000\n", ""},
        {"file 11B /dev/null loop\n", ""},
        {"file 11B /no/such.eti\n", "x.conf:1: cannot read the recording /no/such.eti"},
        {"live 11B a\nlive 218.640 b\n", "x.conf:2: \"218.640\" is already served (line 1)"},
        {"live 14A a\n", "x.conf:1: \"14A\" is neither a channel"},
        {"live 100.0 a\n", "x.conf:1: \"100.0\" is neither"},
        {"file * x.eti\n", "x.conf:1: \"*\" serves live commands only"},
        {"live 11B \"open\n", "x.conf:1: unterminated quote"},
        {"tune 11B\n", "x.conf:1: unknown statement \"tune\""},
        {"file 11B /dev/null twice\n", "x.conf:1: expected \"file CHANNEL|MHZ PATH [loop]\""},
        {"live 11B\n", "x.conf:1: expected \"live CHANNEL|MHZ COMMAND ...\""},
    };
    for (const ConfigCase& c : cases) {
        try {
            EtiConfig::Parse(c.text, "x.conf");
            EXPECT_STREQ(c.error, "") << c.text;
        } catch (const EtiConfigError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.error, 0), 0u) << e.what();
            EXPECT_STRNE(c.error, "") << e.what();
        }
    }
}

// A channel's own entry wins over `*`, which serves channels only; commands split with quotes
// and get the channel and frequency substituted word by word.
TEST(EtiConfigTest, FindSplitAndSubstitute) {
    const EtiConfigData config = EtiConfig::Parse(
        "live * rx --channel=%c 'a b' \"c\\\"d\" e\\ f\nlive 11B own %f %k %% %z\n");
    ASSERT_EQ(config.entries.size(), 2u);
    EXPECT_EQ(EtiConfig::Find(config, 218.6401), &config.entries[1]);
    EXPECT_EQ(EtiConfig::Find(config, 1490.624), &config.entries[0]);
    EXPECT_EQ(EtiConfig::Find(config, 200.0), nullptr);
    EXPECT_EQ(EtiConfig::Substitute(config.entries[0].command, 220.352),
              (std::vector<std::string>{"rx", "--channel=11C", "a b", "c\"d", "e f"}));
    EXPECT_EQ(EtiConfig::Substitute(config.entries[1].command, 218.64),
              (std::vector<std::string>{"own", "218.640", "218640", "%", "%z"}));
    EXPECT_EQ(EtiConfig::Substitute({"%c"}, 200.5), std::vector<std::string>{"200.500"});
    EXPECT_FALSE(EtiConfig::SplitWords("a 'b").has_value());
}

// Sub-channel bytes that start in the middle of a frame come out as the whole frames that
// follow, byte for byte and in order, whether a frame fills one ETI frame (48 kHz) or two
// (24 kHz), past sync words inside the audio and across a reset.
TEST(LayerTwoAssemblerTest, WholeFramesFromAnyStart) {
    for (const LayerCase& c : kLayers) {
        const auto frames = Frames(c, 12);
        std::vector<std::uint8_t> stream;
        for (const auto& f : frames) {
            stream.insert(stream.end(), f.begin(), f.end());
        }
        stream.erase(stream.begin(), stream.begin() + 20);  // joins before the false sync word
        std::vector<std::vector<std::uint8_t>> out;
        LayerTwoAssembler assembler;
        for (std::size_t at = 0; at + c.subChannel <= stream.size(); at += c.subChannel) {
            if (at == 5 * c.subChannel) {
                assembler.Reset();
            }
            assembler.Push(
                stream.data() + at, c.subChannel,
                [&](const std::uint8_t* f, std::size_t n) { out.emplace_back(f, f + n); });
        }
        ASSERT_GE(out.size(), 7u) << c.frame;
        // Each one is a whole frame written, in order; frame 0 was joined in its middle.
        std::size_t next = 1;
        for (const auto& f : out) {
            while (next < frames.size() && frames[next] != f) {
                ++next;
            }
            EXPECT_LT(next++, frames.size()) << c.frame;
        }
        EXPECT_EQ(out.front(), frames[1]);
        EXPECT_EQ(LayerTwoAssembler::FrameLength(c.header), c.frame);
        EXPECT_EQ(DynamicLabelDecoder::ScfCrcLength(c.header), c.scfCrc);
    }
}

// Labels written into frames by the simulated receiver's PAD encoder read back in order: long
// ones from all their segments, the remove-label command as an empty label.
TEST(DynamicLabelDecoderTest, ReadsTheEncodersLabels) {
    const std::string longLabel = "A label that needs three segments of sixteen characters";
    AirComponent component;
    component.labels = {{false, "Short one"}, {false, longLabel}, {true, ""}, {false, "Again"}};
    component.rotateSeconds = 2.0;
    for (const LayerCase& c : kLayers) {
        PadEncoder encoder(component, 0.024);
        DynamicLabelDecoder decoder;
        std::vector<std::string> seen;
        auto frame = Frames(c, 1).front();
        for (int i = 0; i < 320; ++i) {  // 7.7 s: each label once
            encoder.Fill(frame.data(), static_cast<int>(frame.size()), c.scfCrc, i);
            decoder.Frame(frame.data(), frame.size());
            if (i == 0 || decoder.Label() != seen.back()) {
                seen.push_back(decoder.Label());
            }
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"", "Short one", longLabel, "", "Again"}))
            << c.frame;
    }
}

// Variable size X-PAD as stations send it: contents indicator lists, subfields of 6 bytes, an
// application of another kind in between, and frames that continue the last subfield without
// one; the labels come out whole.
TEST(DynamicLabelDecoderTest, ReadsVariableSizeXPad) {
    const LayerCase& c = kLayers[0];
    const std::string longLabel = "Now playing: a title that needs three segments";
    DynamicLabelDecoder decoder;
    std::vector<std::string> seen{""};
    for (const std::string& text : {std::string("Variable one"), longLabel}) {
        for (const auto& group : PadEncoder::DataGroups({false, text}, false)) {
            for (std::size_t at = 0, j = 0; at < group.size(); at += 6, ++j) {
                std::vector<std::uint8_t> xpad;  // CI list, then the subfield
                if (j % 2 == 1) {                // another application first
                    auto frame = Frames(c, 1).front();
                    const std::uint8_t other[] = {0x0C, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
                    std::copy(other, other + 6, std::reverse_iterator(frame.end() - 6));
                    frame[c.frame - 2] = 0x20;
                    frame[c.frame - 1] = 0x02;
                    decoder.Frame(frame.data(), frame.size());
                }
                if (j % 2 == 1 || j == 0) {
                    xpad = {static_cast<std::uint8_t>(0x20 | (j == 0 ? 2 : 3)), 0x00};
                }
                for (std::size_t k = at; k < at + 6; ++k) {
                    xpad.push_back(k < group.size() ? group[k] : 0);
                }
                auto frame = Frames(c, 1).front();
                std::copy(xpad.begin(), xpad.end(), std::reverse_iterator(frame.end() - 6));
                frame[c.frame - 2] = 0x20;  // F-PAD type 00, variable size X-PAD
                frame[c.frame - 1] = xpad.size() > 6 ? 0x02 : 0x00;
                decoder.Frame(frame.data(), frame.size());
                if (decoder.Label() != seen.back()) {
                    seen.push_back(decoder.Label());
                }
            }
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"", "Variable one", longLabel}));
}

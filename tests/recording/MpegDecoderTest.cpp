// TMPEGDecoder over libmpglib.so on real Layer II audio.

#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "LayerTwoStream.h"
#include "recording/CodecAvailability.h"
#include "recording/TMPEGDecoder.h"

// Decoding gives 1152 samples per frame per channel in the stream's own channel count, and the
// 440 Hz sine comes back at the stream's own rate (MPEG-1 48 kHz and MPEG-2 24 kHz).
TEST(MpegDecoder, DecodesToPcmOfTheStreamsRateAndChannels) {
    ProbeCodecs(CodecFolder());
    struct Case {
        int rate, channels, bitrate;
    };
    for (const Case c :
         {Case{48000, 2, 128}, Case{48000, 1, 64}, Case{24000, 1, 64}, Case{24000, 2, 96}}) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " channel(s)");
        const LayerTwoStream mp2 = MakeLayerTwo(c.rate, c.channels, c.bitrate, 1.0);
        ASSERT_GE(mp2.Frames, 20);
        const std::vector<std::uint8_t> pcm = DecodeAll(mp2.Bytes);
        EXPECT_EQ(pcm.size(), static_cast<std::size_t>(mp2.Frames) * mp2.PcmBytesPerFrame());

        // 0.9 s of the sine: 792 sign changes, whatever the rate, in every channel.
        std::vector<std::int16_t> samples = Samples(pcm);
        samples.resize(static_cast<std::size_t>(c.rate * 0.9) * c.channels);
        for (int channel = 0; channel < c.channels; ++channel) {
            EXPECT_NEAR(ZeroCrossings(samples, c.channels, channel), 792, 16);
        }
    }
}

// Two decoders at once are independent: destroying one leaves the other decoding.
TEST(MpegDecoder, DecodersAreIndependent) {
    ProbeCodecs(CodecFolder());
    const LayerTwoStream mp2 = MakeLayerTwo(48000, 2, 128, 0.5);
    auto first = std::make_unique<TMPEGDecoder>();
    std::uint8_t out[8192];
    const int half = static_cast<int>(mp2.Bytes.size() / 2);
    EXPECT_GT(first->Decode(mp2.Bytes.data(), half, out, sizeof out), 0);
    {
        TMPEGDecoder second;
        EXPECT_GT(second.Decode(mp2.Bytes.data(), half, out, sizeof out), 0);
    }
    long total = 0;
    for (int n = first->Decode(mp2.Bytes.data() + half, static_cast<int>(mp2.Bytes.size()) - half,
                               out, sizeof out);
         n > 0; n = first->Decode(nullptr, 0, out, sizeof out)) {
        total += n;
    }
    EXPECT_GT(total, 4 * mp2.PcmBytesPerFrame());
}

// The three codec libraries through their C entry points, loaded the way the program loads them.

#include <gtest/gtest.h>
#include <lame/lame.h>
#include <vorbis/codec.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "LayerTwoStream.h"
#include "codecs/BladeEncoder.h"
#include "codecs/MpgLib.h"
#include "recording/CodecLibrary.h"
#include "recording/EncoderConfig.h"

namespace {

// An entry point of a library from the build's codec folder, loaded the way the program loads it.
template <typename F>
F Entry(const CodecLibrary& library, const char* name) {
    return reinterpret_cast<F>(library.Symbol(name));
}

CodecLibrary Load(const char* file) {
    CodecLibrary::SetFolder(QStringLiteral(CODEC_BIN_DIR));
    return CodecLibrary(QString::fromLatin1(file));
}

struct BeLibrary {
    explicit BeLibrary(const char* file)
        : lib(Load(file)),
          init(Entry<BeInitStreamFn>(lib, "beInitStream")),
          encode(Entry<BeEncodeChunkFn>(lib, "beEncodeChunk")),
          deinit(Entry<BeDeinitStreamFn>(lib, "beDeinitStream")),
          close(Entry<BeCloseStreamFn>(lib, "beCloseStream")),
          version(Entry<BeVersionFn>(lib, "beVersion")) {}
    CodecLibrary lib;
    BeInitStreamFn init;
    BeEncodeChunkFn encode;
    BeDeinitStreamFn deinit;
    BeCloseStreamFn close;
    BeVersionFn version;
};

// The program's own records for 48 kHz: MP3 at 128 kbit/s, Ogg Vorbis at 96 kbit/s.
BeMp3Config Mp3Record(int channels) {
    return MakeMp3Config(48000, 0, 128, channels);
}
std::vector<std::uint8_t> OggRecord(int channels) {
    return MakeOggConfig(channels, 48000, 96, QString(), 0);
}

}  // namespace

// beVersion reports this interface's version 1.0 and the version of the codec underneath.
TEST(CodecLibraries, VersionsNameTheEngineUnderneath) {
    BeLibrary lame("liblame_enc.so");
    BeLibrary vorbis("libvorb_enc.so");
    ASSERT_TRUE(lame.version && vorbis.version);

    BeVersion version;
    lame.version(&version);
    lame_version_t expected;
    get_lame_version_numerical(&expected);
    EXPECT_EQ(version.LibraryMajor, 1);
    EXPECT_EQ(version.LibraryMinor, 0);
    EXPECT_EQ(version.EngineMajor, expected.major);
    EXPECT_EQ(version.EngineMinor, expected.minor);
    EXPECT_EQ(std::string(version.Engine), std::string("LAME ") + get_lame_version());

    vorbis.version(&version);
    EXPECT_EQ(version.LibraryMajor, 1);
    EXPECT_EQ(std::string(version.Engine), vorbis_version_string());
}

// A record of the wrong kind, too short, or with a text outside the block is refused and opens
// no stream (the recorder tests see refusals as the user does); a valid one reports chunk and
// buffer sizes for its channel count.
TEST(CodecLibraries, InitStreamReadsOnlyItsOwnRecords) {
    BeLibrary lame("liblame_enc.so");
    BeLibrary vorbis("libvorb_enc.so");
    std::uint32_t samples = 0;
    std::uint32_t outSize = 0;
    BeStream stream = 0;

    std::vector<std::uint8_t> ogg = OggRecord(2);
    BeMp3Config mp3 = Mp3Record(2);
    EXPECT_EQ(vorbis.init(&mp3, &samples, &outSize, &stream), BeErrInvalidFormat);
    mp3.StructSize = 330;
    EXPECT_EQ(lame.init(&mp3, &samples, &outSize, &stream), BeErrInvalidFormat);
    mp3 = Mp3Record(2);
    mp3.Mode = 7;
    EXPECT_NE(lame.init(&mp3, &samples, &outSize, &stream), BeOk);
    reinterpret_cast<BeOggConfig*>(ogg.data())->Title = 8;  // would point into the record itself
    EXPECT_EQ(vorbis.init(ogg.data(), &samples, &outSize, &stream), BeErrInvalidFormat);
    EXPECT_EQ(stream, 0u);

    const BeMp3Config mono = Mp3Record(1), stereo = Mp3Record(2);
    ogg = OggRecord(1);
    const std::tuple<BeLibrary*, const void*, std::uint32_t, std::uint32_t> valid[] = {
        {&lame, &mono, 1152, 1152 * 5 / 4 + 7200},  // LAME's worst case for one chunk
        {&lame, &stereo, 2304, 0},
        {&vorbis, ogg.data(), 1024, 0}};
    for (const auto& [lib, record, chunk, buffer] : valid) {
        ASSERT_EQ(lib->init(record, &samples, &outSize, &stream), BeOk);
        EXPECT_EQ(samples, chunk);
        EXPECT_GE(outSize, buffer);
        EXPECT_EQ(lib->close(stream), BeOk);
    }
}

// Unknown and closed handles, and chunks above the reported size, are refused without harm;
// two streams at once are independent. (What the encoders make is read back in the recorder
// tests.)
TEST(CodecLibraries, HandlesAreCheckedAndIndependent) {
    for (const char* file : {"liblame_enc.so", "libvorb_enc.so"}) {
        SCOPED_TRACE(file);
        BeLibrary lib(file);
        const BeMp3Config mp3 = Mp3Record(2);
        const std::vector<std::uint8_t> ogg = OggRecord(2);
        const void* record =
            std::string(file) == "liblame_enc.so" ? static_cast<const void*>(&mp3) : ogg.data();
        std::uint32_t samples = 0;
        std::uint32_t outSize = 0;
        BeStream first = 0;
        BeStream second = 0;
        ASSERT_EQ(lib.init(record, &samples, &outSize, &first), BeOk);
        ASSERT_EQ(lib.init(record, &samples, &outSize, &second), BeOk);
        EXPECT_NE(first, second);

        std::vector<std::int16_t> pcm = MakeSine(48000, 2, 0.1, 1000);
        std::vector<std::uint8_t> out(outSize);
        std::uint32_t produced = 1;
        EXPECT_EQ(lib.encode(0, samples, pcm.data(), out.data(), &produced), BeErrInvalidHandle);
        EXPECT_EQ(lib.encode(first, samples + 2, pcm.data(), out.data(), &produced),
                  BeErrBufferTooSmall);
        // No samples is fine (the Ogg stream's header pages may come out with it).
        EXPECT_EQ(lib.encode(first, 0, nullptr, out.data(), &produced), BeOk);
        EXPECT_EQ(lib.encode(first, samples, pcm.data(), out.data(), &produced), BeOk);
        ASSERT_EQ(lib.deinit(first, out.data(), &produced), BeOk);

        EXPECT_EQ(lib.close(first), BeOk);
        EXPECT_EQ(lib.close(first), BeErrInvalidHandle);
        EXPECT_EQ(lib.deinit(first, out.data(), &produced), BeErrInvalidHandle);
        // The second stream never got audio: its flush still works after the first is gone.
        EXPECT_EQ(lib.deinit(second, out.data(), &produced), BeOk);
        EXPECT_EQ(lib.close(second), BeOk);
    }
}

// The decoder takes input cut anywhere, skips junk before the first frame, and hands out
// all PCM across calls when the output is small (whole samples only); nothing is lost.
TEST(CodecLibraries, DecoderResyncsAndDrainsAcrossCalls) {
    const CodecLibrary lib = Load("libmpglib.so");
    auto init = Entry<InitMP3Fn>(lib, "_InitMP3");
    auto decode = Entry<DecodeMP3Fn>(lib, "_decodeMP3");
    auto exit = Entry<ExitMP3Fn>(lib, "_ExitMP3");
    ASSERT_TRUE(init && decode && exit);

    std::vector<std::uint8_t> state(MpgLibStateBytes, 0xA5);
    std::uint8_t out[1001];
    int produced = -1;
    EXPECT_EQ(decode(state.data(), nullptr, 0, out, sizeof out, &produced), MpgLibError);

    const LayerTwoStream mp2 = MakeLayerTwo(48000, 2, 128, 1.0);
    std::vector<std::uint8_t> input(300);
    std::mt19937 random(7);
    for (auto& b : input) {
        b = static_cast<std::uint8_t>(random());
    }
    input.insert(input.end(), mp2.Bytes.begin(), mp2.Bytes.end());

    ASSERT_NE(init(state.data()), 0);
    long total = 0;
    for (std::size_t at = 0; at < input.size(); at += 97) {
        const int count = static_cast<int>(std::min<std::size_t>(97, input.size() - at));
        int result = decode(state.data(), input.data() + at, count, out, sizeof out, &produced);
        while (result == MpgLibOk) {
            EXPECT_EQ(produced % 4, 0);
            EXPECT_LE(produced, 1000);
            total += produced;
            result = decode(state.data(), nullptr, 0, out, sizeof out, &produced);
        }
        EXPECT_EQ(result, MpgLibNeedMore);
    }
    EXPECT_EQ(total, static_cast<long>(mp2.Frames) * mp2.PcmBytesPerFrame());
    exit(state.data());
    exit(state.data());
    EXPECT_EQ(decode(state.data(), mp2.Bytes.data(), 100, out, sizeof out, &produced), MpgLibError);
    ASSERT_NE(init(state.data()), 0);
    exit(state.data());
}

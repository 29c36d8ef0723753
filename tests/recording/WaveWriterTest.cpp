// TWaveWriter: the 44-byte header, its placeholder sizes and the sizes fixed on destruction.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "CodecTestSupport.h"
#include "LayerTwoStream.h"
#include "recording/CodecAvailability.h"
#include "recording/TWaveWriter.h"

namespace {

int Create(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
}

}  // namespace

// 1,000,000 PCM bytes give 1000036 and 1000000 in the size fields, the stated format fields,
// and the PCM right after the header; until destruction the sizes are the placeholders.
TEST(WaveWriter, SizesOfAMillionBytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.wav");
    const int fd = Create(path);
    ASSERT_GE(fd, 0);
    std::vector<std::uint8_t> pcm(1000000);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::uint8_t>(i * 7);
    }
    auto writer = std::make_unique<TWaveWriter>(fd, 48000, 2);
    for (std::size_t at = 0; at < pcm.size(); at += 4608) {
        writer->Write(pcm.data() + at,
                      static_cast<int>(std::min<std::size_t>(4608, pcm.size() - at)));
    }
    QByteArray file = ReadFile(path);
    EXPECT_EQ(FieldAt(file, 4), 32767u);
    EXPECT_EQ(FieldAt(file, 40), 65371u);
    writer.reset();
    ::close(fd);

    file = ReadFile(path);
    ASSERT_EQ(file.size(), 1000044);
    EXPECT_EQ(file.left(4), "RIFF");
    EXPECT_EQ(FieldAt(file, 4), 1000036u);
    EXPECT_EQ(file.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(FieldAt(file, 16), 16u);
    EXPECT_EQ(FieldAt(file, 20, 2), 1u);
    EXPECT_EQ(FieldAt(file, 22, 2), 2u);
    EXPECT_EQ(FieldAt(file, 24), 48000u);
    EXPECT_EQ(FieldAt(file, 28), 192000u);
    EXPECT_EQ(FieldAt(file, 32, 2), 4u);
    EXPECT_EQ(FieldAt(file, 34, 2), 16u);
    EXPECT_EQ(file.mid(36, 4), "data");
    EXPECT_EQ(FieldAt(file, 40), 1000000u);
    EXPECT_EQ(std::memcmp(file.constData() + 44, pcm.data(), pcm.size()), 0);
}

// A recording stopped within a second (half a second of real mono 24 kHz audio) is a complete
// short WAV whose sizes match its length, even when the output did not start at offset 0.
TEST(WaveWriter, ShortRecordingIsValid) {
    ProbeCodecs(CodecFolder());
    const LayerTwoStream mp2 = MakeLayerTwo(24000, 1, 64, 0.5);
    const std::vector<std::uint8_t> pcm = DecodeAll(mp2.Bytes);
    ASSERT_FALSE(pcm.empty());

    QTemporaryDir dir;
    const QString path = dir.filePath("short.wav");
    const int fd = Create(path);
    ASSERT_EQ(::write(fd, "prefix", 6), 6);
    {
        TWaveWriter writer(fd, 24000, 1);
        writer.Write(pcm.data(), static_cast<int>(pcm.size()));
    }
    ::close(fd);
    const QByteArray file = ReadFile(path).mid(6);
    ASSERT_EQ(file.size(), static_cast<qsizetype>(44 + pcm.size()));
    EXPECT_EQ(FieldAt(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    EXPECT_EQ(FieldAt(file, 40), static_cast<std::uint32_t>(pcm.size()));
    EXPECT_EQ(FieldAt(file, 22, 2), 1u);
    EXPECT_EQ(FieldAt(file, 24), 24000u);
    EXPECT_EQ(FieldAt(file, 28), 48000u);
}

// On output that cannot seek, both size fields say "unknown length" (0xFFFFFFFF) from the
// start, and every PCM byte follows the header.
TEST(WaveWriter, PipeOutputMarksUnknownLength) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::vector<std::uint8_t> pcm(10000, 0x5A);
    {
        TWaveWriter writer(ends[1], 48000, 2);
        writer.Write(pcm.data(), static_cast<int>(pcm.size()));
    }
    ::close(ends[1]);
    QByteArray got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
        got.append(buffer, n);
    }
    ::close(ends[0]);
    ASSERT_EQ(got.size(), 10044);
    EXPECT_EQ(FieldAt(got, 4), 0xFFFFFFFFu);
    EXPECT_EQ(FieldAt(got, 40), 0xFFFFFFFFu);
    EXPECT_EQ(got.mid(36, 4), "data");
}

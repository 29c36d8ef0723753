// TWaveWriter: the 44-byte header, its placeholder sizes and the sizes fixed on destruction.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <memory>

#include "CodecTestSupport.h"
#include "recording/TWaveWriter.h"

namespace {

// `value` as a little-endian field of `bytes` bytes.
QByteArray Le(std::size_t value, int bytes = 4) {
    QByteArray field;
    for (int i = 0; i < bytes; ++i) {
        field += static_cast<char>(value >> 8 * i);
    }
    return field;
}

}  // namespace

// Until the writer goes the header carries the placeholder sizes, then the sizes of what was
// written (1,000,000 PCM bytes give 1000036 and 1000000) beside the stated format fields, the
// PCM right after it, also for a short mono 24 kHz recording that did not start at offset 0.
TEST(WaveWriter, SizesAndFormatFields) {
    struct Case {
        int rate, channels;
        std::size_t bytes;
        const char* prefix;
        std::uint32_t byteRate, blockAlign;
    };
    for (const Case c :
         {Case{48000, 2, 1000000, "", 192000, 4}, Case{24000, 1, 24000, "prefix", 48000, 2}}) {
        SCOPED_TRACE(c.bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.wav");
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const auto start = static_cast<qsizetype>(std::strlen(c.prefix));
        ASSERT_EQ(::write(fd, c.prefix, start), start);
        std::vector<std::uint8_t> pcm(c.bytes);
        for (std::size_t i = 0; i < pcm.size(); ++i) {
            pcm[i] = static_cast<std::uint8_t>(i * 7);
        }
        auto writer = std::make_unique<TWaveWriter>(fd, c.rate, c.channels);
        for (std::size_t at = 0; at < pcm.size(); at += 4608) {
            writer->Write(pcm.data() + at,
                          static_cast<int>(std::min<std::size_t>(4608, pcm.size() - at)));
        }
        QByteArray file = ReadFile(path).mid(start);
        EXPECT_EQ(FieldAt(file, 4), 32767u);
        EXPECT_EQ(FieldAt(file, 40), 65371u);
        writer.reset();
        ::close(fd);

        file = ReadFile(path);
        EXPECT_EQ(file.left(start), c.prefix);
        file = file.mid(start);
        ASSERT_EQ(file.size(), static_cast<qsizetype>(44 + c.bytes));
        EXPECT_EQ(file.left(44), "RIFF" + Le(c.bytes + 36) + "WAVEfmt " + Le(16) + Le(1, 2) +
                                     Le(c.channels, 2) + Le(c.rate) + Le(c.byteRate) +
                                     Le(c.blockAlign, 2) + Le(16, 2) + "data" + Le(c.bytes));
        EXPECT_EQ(std::memcmp(file.constData() + 44, pcm.data(), pcm.size()), 0);
    }
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

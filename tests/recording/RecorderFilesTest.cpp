// File recorders, the caching recorder, the recorder factory and the save dialog's filter.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>
#include <typeinfo>

#include "CodecTestSupport.h"
#include "RecorderTestSupport.h"
#include "recording/CodecAvailability.h"
#include "recording/CodecLibrary.h"
#include "recording/RecorderFactory.h"
#include "recording/TRecorderCache.h"
#include "recording/TRecorderMP2.h"
#include "recording/TRecorderRecode.h"
#include "tests/receiver/TestRecorder.h"

namespace {

class RecorderFiles : public ::testing::Test, public RecorderWorld {
protected:
    void TearDown() override { ProbeCodecs(CodecFolder()); }

    // Blocks of varying size, as a receiver that does not cut at frame boundaries delivers.
    std::vector<std::vector<std::uint8_t>> OddBlocks(int count) const {
        std::vector<std::vector<std::uint8_t>> blocks;
        for (int i = 0; i < count; ++i) {
            std::vector<std::uint8_t> block(static_cast<std::size_t>(1 + (i * 37) % 700));
            for (std::size_t j = 0; j < block.size(); ++j) {
                block[j] = static_cast<std::uint8_t>(i * 7 + j);
            }
            blocks.push_back(std::move(block));
        }
        return blocks;
    }
};

}  // namespace

// An MP2 recording is exactly the blocks delivered, in order; an existing file of that name is
// kept as ".bak", replacing an older ".bak"; a file that cannot be created leaves a recorder
// that takes blocks, writes nothing and tells nobody.
TEST_F(RecorderFiles, Mp2IsTheConcatenationAndKeepsTheOldFileAsBak) {
    const QString name = Path("Radio One.mp2");
    const QString bak = Path("Radio One.bak");
    for (const auto& [file, text] : {std::pair{name, "previous"}, std::pair{bak, "older"}}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    const auto frames = FramesOf(MakeLayerTwo(48000, 2, 128, 1.0));
    {
        TRecorderMP2 recorder(radioOne, tables, name);
        EXPECT_EQ(ReadFile(bak), QByteArray("previous"));
        EXPECT_TRUE(ReadFile(name).isEmpty());
        for (const auto& frame : frames) {
            recorder.WriteBlock(frame.data(), static_cast<std::int32_t>(frame.size()));
        }
        recorder.WriteBlock(frames[0].data(), 0);
    }
    EXPECT_EQ(ReadFile(name), Concat(frames));
    EXPECT_EQ(TRecorderMP2::BackupName("/a.b/c.d.mp3"), "/a.b/c.d.bak");
    EXPECT_EQ(TRecorderMP2::BackupName("/a.b/noext"), "/a.b/noext.bak");

    TRecorderMP2 nowhere(radioOne, tables, Path("missing/dir/x.mp2"));
    EXPECT_FALSE(nowhere.IsOpen());
    nowhere.WriteBlock(frames[0].data(), static_cast<std::int32_t>(frames[0].size()));
    EXPECT_FALSE(QFileInfo::exists(Path("missing/dir/x.mp2")));
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

// The cache keeps the blocks in a "dab" temporary file; once the target is set each new block
// hands on two cached ones, then blocks go straight through and the file is deleted.
TEST_F(RecorderFiles, CacheHandsTheBacklogOnTwoRecordsPerBlock) {
    const auto blocks = OddBlocks(60);
    TRecorderCache cache(radioOne, tables);
    const QString cacheFile = cache.CacheFileName();
    ASSERT_TRUE(cache.HasCache());
    EXPECT_EQ(QFileInfo(cacheFile).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(cacheFile).fileName().startsWith("dab"));

    for (int i = 0; i < 20; ++i) {
        cache.WriteBlock(blocks[i].data(), static_cast<std::int32_t>(blocks[i].size()));
    }
    auto target = std::make_unique<TestRecorder>(radioOne, 0xC0DE, QString());
    TestRecorder* seen = target.get();
    cache.SetTarget(std::move(target));
    EXPECT_TRUE(seen->blocks.empty());  // nothing moves until a block arrives

    // 20 cached; each arrival adds one and moves two: after k arrivals 2k have gone on.
    int next = 20;
    for (int k = 1; cache.HasCache(); ++k, ++next) {
        cache.WriteBlock(blocks[next].data(), static_cast<std::int32_t>(blocks[next].size()));
        EXPECT_EQ(seen->blocks.size(), std::min<std::size_t>(2 * k, next + 1));
        ASSERT_LT(k, 40);
    }
    EXPECT_EQ(next, 40);
    EXPECT_FALSE(QFileInfo::exists(cacheFile));
    for (; next < 60; ++next) {
        cache.WriteBlock(blocks[next].data(), static_cast<std::int32_t>(blocks[next].size()));
        EXPECT_EQ(seen->blocks.size(), static_cast<std::size_t>(next + 1));
    }
    EXPECT_EQ(seen->blocks, blocks);
}

// Destroying the cache hands every remaining record to the target, closes the target's file and
// deletes the cache.
TEST_F(RecorderFiles, CacheDrainsEverythingOnDestruction) {
    const auto frames = FramesOf(MakeLayerTwo(48000, 2, 128, 2.0));
    const QString name = Path("out.mp2");
    QString cacheFile;
    {
        TRecorderCache cache(radioOne, tables);
        cacheFile = cache.CacheFileName();
        for (std::size_t i = 0; i < frames.size() - 1; ++i) {
            cache.WriteBlock(frames[i].data(), static_cast<std::int32_t>(frames[i].size()));
        }
        cache.SetTarget(std::make_unique<TRecorderMP2>(radioOne, tables, name));
        cache.WriteBlock(frames.back().data(), static_cast<std::int32_t>(frames.back().size()));
        EXPECT_TRUE(cache.HasCache());
    }
    EXPECT_EQ(ReadFile(name), Concat(frames));
    EXPECT_FALSE(QFileInfo::exists(cacheFile));
}

// A target set on the main thread while the receiver's thread keeps delivering loses nothing
// and reorders nothing.
TEST_F(RecorderFiles, CacheTakesATargetSetWhileBlocksArrive) {
    const auto blocks = OddBlocks(3000);
    const QString name = Path("race.mp2");
    {
        TRecorderCache cache(radioOne, tables);
        std::atomic<int> written{0};
        std::thread receiver([&] {
            for (const auto& block : blocks) {
                cache.WriteBlock(block.data(), static_cast<std::int32_t>(block.size()));
                written = written + 1;
                if (written % 16 == 0) {
                    std::this_thread::yield();
                }
            }
        });
        while (written < 1000) {
            std::this_thread::yield();
        }
        cache.SetTarget(std::make_unique<TRecorderMP2>(radioOne, tables, name));
        receiver.join();
    }
    EXPECT_EQ(ReadFile(name), Concat(blocks));
}

// The factory picks the recorder by the name's extension (upper-cased, cut to three letters)
// and the codecs present: MP3 without liblame_enc.so records raw MPEG under the .mp3 name.
TEST_F(RecorderFiles, FactoryChoosesByExtensionAndCodecs) {
    ASSERT_TRUE(Mp3Available());
    const std::pair<const char*, const std::type_info*> kinds[] = {
        {"", &typeid(TRecorderCache)},
        {"a.mp2", &typeid(TRecorderMP2)},
        {"a.flac", &typeid(TRecorderMP2)},
        {"a.Wave", &typeid(TRecorderRecode)}};
    for (const auto& [file, kind] : kinds) {
        const auto recorder =
            CreateRecorder(radioOne, *file ? Path(file) : QString(), tables, settings);
        EXPECT_TRUE(typeid(*recorder) == *kind) << file;
    }
    EXPECT_EQ(RecordingExtension("x/y.z/Name.oggx"), "OGG");

    // A program folder with the decoder but without the MP3 encoder.
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::link(QDir(CodecFolder()).filePath(CodecLibrary::kDecoderFile),
                            QDir(folder.path()).filePath(CodecLibrary::kDecoderFile)));
    ProbeCodecs(folder.path());
    ASSERT_TRUE(WavAvailable());
    ASSERT_FALSE(Mp3Available());
    const auto frames = FramesOf(MakeLayerTwo(48000, 2, 128, 0.5));
    const QString name = Path("song.MP3");
    {
        auto recorder = CreateRecorder(radioOne, name, tables, settings);
        ASSERT_NE(dynamic_cast<TRecorderMP2*>(recorder.get()), nullptr);
        for (const auto& frame : frames) {
            recorder->WriteBlock(frame.data(), static_cast<std::int32_t>(frame.size()));
        }
    }
    EXPECT_EQ(ReadFile(name), Concat(frames));
}

// The filter offers the available formats in their fixed order, the default one first, or only
// the others; the default is matched in any letter case.
TEST_F(RecorderFiles, SaveFilterOrderAndContents) {
    ASSERT_TRUE(Mp3Available() && OggAvailable() && WavAvailable());
    const QString mp2 = "MPEG Audio (Layer 2)|*.mp2", mp3 = "MPEG Audio (Layer 3)|*.mp3",
                  ogg = "Ogg Vorbis|*.ogg", wav = "Windows PCM|*.wav";
    const QString all = QStringList{mp2, mp3, ogg, wav}.join(u'|');
    EXPECT_EQ(BuildSaveFilter("OGG", true), QStringList({ogg, mp2, mp3, wav}).join(u'|'));
    EXPECT_EQ(BuildSaveFilter("wav", true), QStringList({wav, mp2, mp3, ogg}).join(u'|'));
    for (const QString& other : {QString(), QString("FLAC"), QString("MP2")}) {
        EXPECT_EQ(BuildSaveFilter(other, true), all) << other.toStdString();
    }
    EXPECT_EQ(BuildSaveFilter("OGG", false), QStringList({mp2, mp3, wav}).join(u'|'));

    // No codecs at all: only the raw stream is offered, also when WAV is the default.
    QTemporaryDir empty;
    ProbeCodecs(empty.path());
    EXPECT_EQ(BuildSaveFilter("wav", true), mp2);
    EXPECT_EQ(BuildSaveFilter("MP2", false), QString());
}

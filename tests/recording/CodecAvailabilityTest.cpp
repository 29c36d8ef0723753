// The availability probes and the error texts when a codec library is missing or incomplete.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "CodecTestSupport.h"
#include "recording/CodecAvailability.h"
#include "recording/CodecError.h"
#include "recording/CodecLibrary.h"
#include "recording/EncoderConfig.h"
#include "recording/TBladeInterface.h"
#include "recording/TBladeInterfaceWriter.h"
#include "recording/TMPEGDecoder.h"

namespace {

class CodecAvailabilityTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {CodecLibrary::kDecoderFile, CodecLibrary::kMp3EncoderFile,
                                 CodecLibrary::kOggEncoderFile}) {
            // A library the system would find anyway hides the folder's absence: meaningless
            // here, a fault of the machine under CI.
            if (void* found = ::dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
                ::dlclose(found);
                if (qgetenv("CI") == "true") {
                    ADD_FAILURE() << name << " is on the system's library path";
                }
                GTEST_SKIP() << name << " is on the system's library path";
            }
        }
    }
    void TearDown() override { ProbeCodecs(CodecFolder()); }

    // A program folder holding the given libraries of the build (under their own names unless
    // a pair says otherwise).
    QString FolderWith(std::initializer_list<std::pair<QString, QString>> files) {
        for (const auto& [from, to] : files) {
            EXPECT_TRUE(QFile::link(QDir(CodecFolder()).filePath(from), dir.filePath(to)));
        }
        return dir.path();
    }

    QTemporaryDir dir;
};

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CodecError& error) {
        return error.what();
    }
    return "(no error)";
}

const QString Mpg = QString::fromLatin1(CodecLibrary::kDecoderFile);
const QString Lame = QString::fromLatin1(CodecLibrary::kMp3EncoderFile);
const QString Vorb = QString::fromLatin1(CodecLibrary::kOggEncoderFile);

}  // namespace

// Without liblame_enc.so only MP3 goes; making an MP3 encoder or writer raises the error the user
// sees. An encoder library that lacks beVersion counts as missing too.
TEST_F(CodecAvailabilityTest, MissingOrIncompleteMp3Encoder) {
    CodecAvailability found = ProbeCodecs(FolderWith({{Mpg, Mpg}, {Vorb, Vorb}}));
    EXPECT_TRUE(found.Wav && found.Ogg);
    EXPECT_FALSE(found.Mp3);
    EXPECT_EQ(ErrorOf([] { TBladeInterface probe(Lame); }), "Unable to load encoder DLL.");
    EXPECT_EQ(ErrorOf([] { CreateMp3Writer(1, 2, 48000, 0, 96); }), "Unable to load encoder DLL.");

    FolderWith({{"libtest_no_version_enc.so", Lame}});
    found = ProbeCodecs(dir.path());
    EXPECT_FALSE(found.Mp3);
    EXPECT_EQ(ErrorOf([] { TBladeInterface::CreateMp3Encoder(48000, 0, 96, 2); }),
              "Unable to load encoder DLL.");
}

// Without the decoder library nothing is available, since MP3 and Ogg need it too, and a
// decoder raises "MPGLib.dll not loaded.".
TEST_F(CodecAvailabilityTest, MissingDecoder) {
    const CodecAvailability found = ProbeCodecs(FolderWith({{Lame, Lame}, {Vorb, Vorb}}));
    EXPECT_FALSE(found.Wav || found.Mp3 || found.Ogg);
    EXPECT_EQ(ErrorOf([] { TMPEGDecoder decoder; }), "MPGLib.dll not loaded.");
}

// A record the library refuses raises "beInitStream Error.".
TEST_F(CodecAvailabilityTest, RefusedRecord) {
    ProbeCodecs(CodecFolder());
    const std::vector<std::uint8_t> ogg = MakeOggConfig(2, 48000, 96, QString(), 0);
    EXPECT_EQ(ErrorOf([&] { TBladeInterface encoder(Lame, ogg.data()); }), "beInitStream Error.");
    EXPECT_EQ(ErrorOf([] { TBladeInterface::CreateOggEncoder(5, 48000, 96, QString(), 0); }),
              "beInitStream Error.");
    EXPECT_EQ(ErrorOf([] { TBladeInterface::CreateMp3Encoder(48000, 0, 96, 2); }), "(no error)");
}

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "eti/EtiFrame.h"
#include "receiver/TMainControl.h"
#include "receiver/TReceiverComponent.h"
#include "receiver/TViaDABWrapper.h"
#include "services/TScanFrame.h"
#include "services/TServiceTablesWrapper.h"
#include "sim/AirFile.h"
#include "tests/eti/EtiWriter.h"
#include "tests/support/Polling.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

namespace {

constexpr double k11B = 218.640;
constexpr double k11D = 222.064;

// Two ensembles: 48 and 24 kHz audio with dynamic labels, a data service, a secondary component.
const char* const kAir = R"(
ensemble 218.640 eid=0xC1A1 label="Harbourline DAB"
service sid=0xC2A1 label="Harbour FM" pty=10
audio label="Harbour FM" bitrate=128 content=music rotate=0.5
dls "Harbour FM - the sound of the coast"
dls "Now playing: The Lanterns - Tidewater Lights"
service sid=0xC2A2 label="Saltmarsh Talk" pty=1
audio label="Saltmarsh Talk" bitrate=48 mode=mono rate=24 programme=speech rotate=0.5
dls "Weather: bright spells"
service sid=0xE1C2A103 label="Harbour Traffic"
data label="Harbour Traffic" type=5 bitrate=16
ensemble 222.064 eid=0xC1C3 label="Meridian Mux"
service sid=0xC2C1 label="Northgate Sport" pty=4
audio label="Northgate Sport" bitrate=80 mode=mono
audio label="Northgate Extra" bitrate=64 mode=mono
service sid=0xC2C2 label="Kestrel Country" pty=25
audio label="Kestrel Country" bitrate=128
)";

// Sets ASCTy 63 (DAB+) on the components of `sid` in every FIG 0/2 of the recording.
void MakeDabPlus(std::vector<std::uint8_t>& eti, std::uint16_t sid) {
    for (std::size_t frame = 0; frame < eti.size(); frame += EtiFrame::kSize) {
        std::uint8_t* fic = eti.data() + frame + 12 + 4 * (eti[frame + 5] & 0x7F);
        for (std::uint8_t* fib = fic; fib < fic + 96; fib += 32) {
            for (std::size_t i = 0; i < 30 && fib[i] != 0xFF;) {
                const std::size_t length = fib[i] & 0x1F;
                if ((fib[i] >> 5) == 0 && (fib[i + 1] & 0x3F) == 2) {
                    for (std::size_t e = i + 2; e < i + 1 + length;) {
                        const int count = fib[e + 2] & 0x0F;
                        if (fib[e] * 256 + fib[e + 1] == sid) {
                            for (int c = 0; c < count; ++c) {
                                fib[e + 3 + 2 * c] = 0x3F;
                            }
                        }
                        e += 3 + 2 * static_cast<std::size_t>(count);
                    }
                }
                i += 1 + length;
            }
            const std::uint16_t crc = EtiFrame::Crc16(fib, 30);
            fib[30] = static_cast<std::uint8_t>(crc >> 8);
            fib[31] = static_cast<std::uint8_t>(crc);
        }
    }
}

class EtiComponentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        air = new Air(AirFile::Parse(kAir));
        const std::string root = dir->path().toStdString();
        EtiWriter::WriteFile(air->ensembles[0], options, root + "/11B.eti");
        auto meridian = EtiWriter::Write(air->ensembles[1], options);
        MakeDabPlus(meridian, 0xC2C2);  // listed as audio all the same
        std::ofstream(root + "/plus.eti", std::ios::binary)
            .write(reinterpret_cast<const char*>(meridian.data()),
                   static_cast<std::streamsize>(meridian.size()));
        std::ofstream(root + "/air") << kAir;
    }
    static void TearDownTestSuite() {
        delete air;
        delete dir;
    }

    static std::string Config(const std::string& name, const std::string& text) {
        const std::string path = dir->path().toStdString() + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    static QString Library(const char* name) {
        return QFileInfo(TestEnv::SimulatedReceiver()).absolutePath() + "/" + name;
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline Air* air = nullptr;
    static inline const EtiWriter::Options options{2.4, 0, 0};  // 100 frames
};

// The program's tables after a scan of 11B and 11D through the real wrapper and controller.
struct Scanned {
    QList<TServiceRecord> services;
    QStringList lines;
};

Scanned Scan(const QString& library) {
    TestEnv env;
    ScriptedDialogs dialogs;
    TServiceTablesWrapper tables(env.ProgramDir(), dialogs);
    TViaDABWrapper wrapper([&] {
        env.RegisterReceiver(library);
        return TReceiverComponent::CreateRegistered();
    });
    TMainControl control(wrapper, tables);
    TScanFrame frame(control, tables);
    for (const TEnsembleRecord& e : tables.Ensembles()) {
        tables.SetEnsembleState(e.Frequency == k11B || e.Frequency == k11D ? 2 : 0, e.Frequency);
    }
    EXPECT_TRUE(frame.StartScan());
    for (int i = 0; i < 2000 && frame.IsScanning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // the source's thread reads
        if (control.IsTuning()) {
            control.TheTimerTimer();
        }
        frame.TheTimerTimer();
    }
    return {tables.Services(), frame.Lines()};
}

struct Collector : IViadabRxEvents {
    RxStatus OnEvent(std::int32_t, std::int32_t, std::int32_t) override { return RxOk; }
    RxStatus OnData(std::int32_t component, const std::uint8_t* buffer,
                    std::int32_t length) override {
        std::lock_guard lock(mutex);
        frames[component].emplace_back(buffer, buffer + length);
        return RxOk;
    }
    std::size_t Count(std::int32_t component) {
        std::lock_guard lock(mutex);
        return frames[component].size();
    }
    std::mutex mutex;
    std::map<std::int32_t, std::vector<std::vector<std::uint8_t>>> frames;
};

// Service SId → its components' handles, enumerated as the wrapper does.
std::map<std::uint32_t, std::vector<std::int32_t>> Components(IViadabRx& rx) {
    std::map<std::uint32_t, std::vector<std::int32_t>> out;
    std::int32_t sid = 0;
    for (rx.GetFirstService(&sid); sid != 0; rx.GetNextService(&sid)) {
        std::int32_t c = 0;
        for (rx.GetPrimaryComponent(sid, &c); c != 0; rx.GetNextComponent(sid, &c)) {
            out[static_cast<std::uint32_t>(sid)].push_back(c);
        }
    }
    return out;
}

}  // namespace

// A scan over ETI recordings of two ensembles learns the same services, labels, kinds,
// programme types, secondary component and data service as the simulated receiver does for
// the same air (its DAB+ service listed as audio too).
TEST_F(EtiComponentTest, ScanMatchesTheSimulatedReceiver) {
    ::setenv("TUNORA_ETI_CONFIG",
             Config("scan.conf", "option unpaced\nfile 11B 11B.eti\nfile 11D plus.eti\n").c_str(),
             1);
    ::setenv("TUNORA_AIR_FILE", (dir->path() + "/air").toLocal8Bit().constData(), 1);
    ::setenv("TUNORA_SIM_UNPACED", "1", 1);
    const Scanned eti = Scan(Library("libviadab_eti.so"));
    const Scanned sim = Scan(TestEnv::SimulatedReceiver());

    EXPECT_EQ(eti.lines, sim.lines);
    EXPECT_TRUE(eti.lines.contains("Meridian Mux found.")) << eti.lines.join('|').toStdString();
    ASSERT_EQ(eti.services.size(), 6);
    ASSERT_EQ(eti.services.size(), sim.services.size());
    for (qsizetype i = 0; i < eti.services.size(); ++i) {
        const TServiceRecord& e = eti.services[i];
        const TServiceRecord& s = sim.services[i];
        EXPECT_EQ(std::tie(e.SId, e.Secondary, e.Frequency, e.Label, e.Kind, e.ProgrammeType),
                  std::tie(s.SId, s.Secondary, s.Frequency, s.Label, s.Kind, s.ProgrammeType))
            << e.Label.toStdString() << " / " << s.Label.toStdString();
        if (e.SId == 0xE1C2A103) {
            EXPECT_EQ(e.Kind, u'T');
        }
    }
}

// Registered and captured from, each audio component delivers exactly the Layer II frames
// written (48 kHz one per ETI frame, 24 kHz joined from two), in order across the recording's
// loop; the dynamic label comes from their PAD; playback starts without blocking; the data
// service delivers nothing; and a DAB+ component is listed but refuses capture and playback.
TEST_F(EtiComponentTest, CaptureDeliversTheWrittenFrames) {
    ::setenv(
        "TUNORA_ETI_CONFIG",
        Config("loop.conf", "option unpaced\nfile 11B 11B.eti loop\nfile 11D plus.eti\n").c_str(),
        1);
    TestEnv env;
    env.RegisterReceiver(Library("libviadab_eti.so"));
    const auto component = TReceiverComponent::CreateRegistered();
    IViadabRx& rx = component->Rx();
    Collector sink;
    std::int32_t cookie = 0;
    std::int32_t ok = 0;
    ASSERT_EQ(rx.Advise(&sink, &cookie), RxOk);
    ASSERT_EQ(rx.Tune(k11B, &ok), RxOk);
    std::int32_t ready = 0;
    ASSERT_TRUE(PollUntil([&] { return rx.GetServiceListReady(&ready) == RxOk && ready; }));
    auto handles = Components(rx);
    ASSERT_EQ(handles.size(), 3u);
    const std::int32_t data = handles[0xE1C2A103].at(0);
    for (const auto& [sid, list] : handles) {
        ASSERT_EQ(rx.StartCapture(list.at(0)), RxOk);
    }
    for (const std::uint32_t sid : {0xC2A1u, 0xC2A2u}) {
        const std::int32_t h = handles[sid].at(0);
        ASSERT_TRUE(PollUntil([&] { return sink.Count(h) >= 120; }, 30000));
        std::string label;
        ASSERT_EQ(rx.GetDynamicLabel(h, &label), RxOk);
        const AirService& service =
            *std::find_if(air->ensembles[0].services.begin(), air->ensembles[0].services.end(),
                          [&](const AirService& s) { return s.sid == sid; });
        const auto& labels = service.components[0].labels;
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const AirLabel& l) {
            return l.text == label;
        })) << label;
        ASSERT_EQ(rx.StopCapture(h), RxOk);
        const auto written = EtiWriter::AudioFrames(air->ensembles[0], sid, 0, options);
        std::lock_guard lock(sink.mutex);
        const auto& got = sink.frames[h];
        const auto first = std::find(written.begin(), written.end(), got.front());
        ASSERT_NE(first, written.end());
        for (std::size_t i = 0, at = first - written.begin(); i < got.size(); ++i) {
            ASSERT_EQ(got[i], written[(at + i) % written.size()]) << sid << " frame " << i;
        }
    }
    const std::int32_t harbour = handles[0xC2A1].at(0);
    EXPECT_EQ(rx.StartPlayback(harbour), RxOk);  // silent here: no sound server
    EXPECT_EQ(rx.StartPlayback(data), RxOk);
    EXPECT_EQ(rx.StopPlayback(harbour), RxOk);
    EXPECT_EQ(sink.Count(data), 0u);
    std::int32_t type = 0;
    EXPECT_EQ(rx.GetDataType(data, &type), RxOk);
    EXPECT_EQ(type, 5);

    ASSERT_EQ(rx.Tune(k11D, &ok), RxOk);
    ASSERT_TRUE(PollUntil([&] { return rx.GetServiceListReady(&ready) == RxOk && ready; }));
    handles = Components(rx);
    const std::int32_t plus = handles[0xC2C2].at(0);
    EXPECT_EQ(rx.GetAudioType(plus, &type), RxOk);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(rx.StartCapture(plus), RxNotImplemented);
    EXPECT_EQ(rx.StartPlayback(plus), RxNotImplemented);
    std::string label;
    EXPECT_EQ(rx.GetLabel(plus, &label), RxOk);
    EXPECT_EQ(label, "Kestrel Country ");
    EXPECT_EQ(handles[0xC2C1].size(), 2u);
    EXPECT_EQ(rx.Unadvise(cookie), RxOk);
}

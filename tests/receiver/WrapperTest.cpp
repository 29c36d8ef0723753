#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QFile>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/RegistryKey.h"
#include "receiver/IViadabRx.h"
#include "receiver/ReceiverError.h"
#include "receiver/TReceiverComponent.h"
#include "receiver/TViaDABWrapper.h"
#include "tests/receiver/FakeReceiver.h"
#include "tests/receiver/TestRecorder.h"
#include "tests/sim/PadReader.h"
#include "tests/support/TestEnv.h"

namespace {

constexpr std::uint32_t kRadioOne = 0xC0DE;

// The text of the ReceiverError `action` raises.
std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ReceiverError& e) {
        return e.what();
    }
    return "(no error)";
}

class WrapperTest : public ::testing::Test {
protected:
    WrapperTest() {
        FillDemoAir(fake);
        wrapper = std::make_unique<TViaDABWrapper>([this] {
            ++created;
            return std::make_unique<TReceiverComponent>(&fake);
        });
        wrapper->Tune(225.648);
        fake.ClearCalls();
    }

    void SendLabel(std::int32_t handle, const std::string& text) {
        for (const auto& f : GroupFrames(kStereo128, LabelGroup(text, true, true, 0))) {
            fake.Deliver(handle, f);
        }
        fake.Deliver(handle, EndMarkerFrame(kStereo128));
    }

    FakeReceiver fake;
    int created = 0;
    std::unique_ptr<TViaDABWrapper> wrapper;
};

}  // namespace

// Two recorders of one service and the info capture start the component's capture once; it
// stops only when the last of the three lets go.
TEST_F(WrapperTest, CountedCaptureStartsOnceAndStopsWithTheLastHolder) {
    TestRecorder first(1, kRadioOne, QString());
    TestRecorder second(2, kRadioOne, QString());
    wrapper->SelectService(kRadioOne, QString(), true);
    wrapper->AttachRecorder(&first);
    wrapper->AttachRecorder(&second);
    EXPECT_EQ(fake.Count("StartCapture"), 1);
    EXPECT_EQ(fake.Count("StartCapture 101"), 1);
    EXPECT_EQ(first.StreamHandle(), 101);
    ASSERT_EQ(wrapper->Recorders().size(), 2);
    EXPECT_EQ(wrapper->Recorders()[0].Handle, "101");

    fake.Deliver(101, {1, 2, 3});
    fake.Deliver(102, {4});
    EXPECT_EQ(first.blocks.size(), 1u);
    EXPECT_EQ(second.blocks.size(), 1u);

    wrapper->DetachRecorder(&first);
    wrapper->SetInfoCapture(false);
    EXPECT_EQ(fake.Count("StopCapture"), 0);
    wrapper->DetachRecorder(&first);  // not attached any more: nothing happens
    EXPECT_EQ(fake.Count("StopCapture"), 0);
    wrapper->DetachRecorder(&second);
    EXPECT_EQ(fake.Count("StopCapture 101"), 1);
    EXPECT_TRUE(wrapper->Captures().isEmpty());
    fake.Deliver(101, {5});
    EXPECT_EQ(second.blocks.size(), 1u);
}

// A stream record held by the played service and by a listener that wants PAD lives until both
// have let go; the listener is fed its label after the service is deselected.
TEST_F(WrapperTest, StreamRecordSharedByPlayedServiceAndListener) {
    TestRecorder listener(1, kRadioOne, QString(), 1, true);
    wrapper->SelectService(kRadioOne, QString(), false);
    wrapper->AttachRecorder(&listener);
    SendLabel(101, "Shared label");
    EXPECT_EQ(wrapper->GetCurrentDynamicLabel(), "Shared label");
    EXPECT_EQ(wrapper->GetCurrentStreamInfo().Bitrate, 128);

    wrapper->SelectService(0, QString(), false);
    EXPECT_EQ(wrapper->GetStreamDynamicLabel(101), "Shared label");
    wrapper->DetachRecorder(&listener);
    EXPECT_EQ(wrapper->Events()->GetStreamInfo(101), StreamInfoRecord());

    // The other way round: the listener goes first, the played service keeps the record.
    wrapper->SelectService(kRadioOne, QString(), false);
    wrapper->AttachRecorder(&listener);
    SendLabel(101, "Second");
    wrapper->DetachRecorder(&listener);
    EXPECT_EQ(wrapper->GetCurrentDynamicLabel(), "Second");
}

// Selecting the selected service does nothing; another service stops the old playback first;
// a component label picks the further component by its trimmed label.
TEST_F(WrapperTest, SelectServiceSwitchesPlaybackOnlyOnChange) {
    wrapper->SelectService(kRadioOne, QString(), false);
    fake.ClearCalls();
    wrapper->SelectService(kRadioOne, QString(), false);
    EXPECT_TRUE(fake.calls.empty());

    wrapper->SelectService(kRadioOne, "One Extra", false);
    EXPECT_EQ(fake.Count("StopPlayback 101"), 1);
    EXPECT_EQ(fake.Count("StartPlayback 102"), 1);
    EXPECT_EQ(wrapper->CurrentComponent(), 102);

    wrapper->SelectService(kRadioOne, "No Such", false);
    EXPECT_EQ(wrapper->CurrentComponent(), 0);
    EXPECT_EQ(fake.Count("StartPlayback"), 1);

    fake.dynamicLabels[101] = "From the receiver";
    wrapper->SelectService(kRadioOne, QString(), true);
    EXPECT_TRUE(wrapper->InfoCapture());
    EXPECT_EQ(wrapper->GetCurrentDynamicLabel(), "From the receiver");
    EXPECT_TRUE(wrapper->Tune(222.064));  // deselects, closing the info capture
    EXPECT_EQ(fake.Count("StopCapture 101"), 1);
    EXPECT_EQ(wrapper->CurrentSId(), 0u);
    EXPECT_FALSE(wrapper->InfoCapture());
}

// Signal level is 100 - 1000 x error ratio rounded half to even and never below 0.
TEST_F(WrapperTest, SignalLevel) {
    const std::pair<double, int> cases[] = {{0.0, 100},   {0.25, 0},     {0.0625, 38},
                                            {0.0635, 36}, {0.0005, 100}, {0.0015, 98}};
    for (const auto& [ratio, level] : cases) {
        fake.errorRatio = ratio;
        EXPECT_EQ(wrapper->GetSignalLevel(), level) << ratio;
    }
}

// The service list, component lookup and kind letters come from the tuned ensemble, labels
// trimmed.
TEST_F(WrapperTest, ListsServicesAndKinds) {
    QList<TVDService> list;
    wrapper->ListReceiverServices(list, true);
    const QList<TVDService> expected = {{kRadioOne, QString()},
                                        {kRadioOne, "One Extra"},
                                        {kRadioOne, "One Sport"},
                                        {0xC1, QString()}};
    EXPECT_EQ(list, expected);
    wrapper->ListReceiverServices(list, false);
    EXPECT_EQ(list.size(), 2);

    EXPECT_EQ(wrapper->GetReceiverEnsembleLabel(), "Tunora Mux");
    EXPECT_EQ(wrapper->GetReceiverServiceLabel(kRadioOne), "Radio One");
    EXPECT_EQ(wrapper->GetReceiverServiceKind(kRadioOne), QLatin1Char('A'));
    EXPECT_EQ(wrapper->GetReceiverServiceKind(0xC1), QLatin1Char('T'));
    fake.air[225.648].services[1].components[0].dataType = 3;
    EXPECT_EQ(wrapper->GetReceiverServiceKind(0xC1), QLatin1Char('D'));
    EXPECT_EQ(wrapper->FindComponent(kRadioOne, "One Sport"), 104);
    EXPECT_EQ(wrapper->FindComponent(0, QString()), 0);
    EXPECT_FALSE(wrapper->IsServiceAvailable(0xD001, QString()));
}

// A failure status raises ReceiverError to the caller; a recorder whose capture fails to stop
// still leaves the sink, so its owner may destroy it.
TEST_F(WrapperTest, FailureStatusRaisesAndDetachStillLetsGo) {
    fake.failing = "StartPlayback";
    EXPECT_THROW(wrapper->SelectService(kRadioOne, QString(), false), ReceiverError);
    EXPECT_EQ(wrapper->CurrentComponent(), 101);  // steps already done stay done

    fake.failing = "StartCapture";
    TestRecorder recorder(1, kRadioOne, QString());
    EXPECT_THROW(wrapper->AttachRecorder(&recorder), ReceiverError);
    EXPECT_TRUE(wrapper->Captures().isEmpty());

    fake.failing.clear();
    wrapper->AttachRecorder(&recorder);
    fake.failing = "StopCapture";
    const std::string stop = MessageOf([&] { wrapper->DetachRecorder(&recorder); });
    EXPECT_NE(stop.find("StopCapture"), std::string::npos) << stop;
    EXPECT_TRUE(wrapper->Recorders().isEmpty());
    fake.Deliver(101, {1});
    EXPECT_TRUE(recorder.blocks.empty());
    fake.failing.clear();

    // Audio the component cannot decode is said in words, not as a status code.
    fake.failing = "StartCapture";
    fake.failStatus = RxNotImplemented;
    const std::string dabPlus = MessageOf([&] { wrapper->AttachRecorder(&recorder); });
    EXPECT_NE(dabPlus.find("DAB+ audio"), std::string::npos) << dabPlus;
    fake.failing.clear();
}

// Released, the component is gone and every operation answers empty without creating it; taken
// back, a new component is created and connected.
TEST_F(WrapperTest, ReleaseAndTakeBack) {
    wrapper->SetReleased(true);
    EXPECT_EQ(fake.released, 1);
    EXPECT_EQ(fake.Count("Unadvise"), 1);
    EXPECT_EQ(wrapper->TunedFrequency(), 0.0);
    fake.ClearCalls();
    fake.ready = true;
    EXPECT_FALSE(wrapper->IsServiceListReady());
    EXPECT_EQ(wrapper->GetSignalLevel(), 0);
    EXPECT_EQ(wrapper->GetReceiverServiceKind(kRadioOne), QLatin1Char(' '));
    EXPECT_FALSE(wrapper->Tune(225.648));
    EXPECT_EQ(wrapper->GetCurrentStreamInfo(), StreamInfoRecord());
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(created, 1);

    wrapper->SetReleased(false);
    EXPECT_EQ(created, 2);
    EXPECT_EQ(fake.Count("Advise"), 1);
    EXPECT_TRUE(wrapper->Tune(225.648));
}

// Destruction stops the selected service's playback, then disconnects and releases.
TEST_F(WrapperTest, DestructionStopsPlaybackThenReleases) {
    wrapper->SelectService(kRadioOne, QString(), false);
    fake.ClearCalls();
    wrapper.reset();
    const std::vector<std::string> expected = {"StopPlayback 101", "Unadvise 7", "Release"};
    EXPECT_EQ(fake.calls, expected);
}

// Without a component the wrapper answers empty values; a factory that fails raises at creation.
TEST(WrapperCreationTest, NoComponentAndFailingFactory) {
    TViaDABWrapper none([] { return std::unique_ptr<TReceiverComponent>(); });
    EXPECT_FALSE(none.Connect());
    EXPECT_FALSE(none.Tune(225.648));
    EXPECT_EQ(none.GetCurrentDynamicLabel(), QString());

    EXPECT_THROW(TViaDABWrapper([]() -> std::unique_ptr<TReceiverComponent> {
                     throw ReceiverError("The receiver component is not registered.");
                 }),
                 ReceiverError);
}

// The receiver counts as installed only when the interface key's default value is exactly
// "IViadabRx".
TEST(ComponentLoadTest, InstalledOnlyWithTheExactInterfaceName) {
    TestEnv env;
    EXPECT_FALSE(TReceiverComponent::IsInstalled());
    RegistryKey key(RegistryKey::HiveFile(RegistryKey::Hive::Classes),
                    QString::fromLatin1(IViadabRxInterfaceKey));
    key.WriteString(QString(), QStringLiteral("iviadabrx"));
    EXPECT_FALSE(TReceiverComponent::IsInstalled());
    key.WriteString(QString(), QStringLiteral("IViadabRx"));
    EXPECT_TRUE(TReceiverComponent::IsInstalled());
    key.DeleteValue(QString());
    key.WriteInteger(QString(), 1);
    EXPECT_FALSE(TReceiverComponent::IsInstalled());
}

// The registered library (the simulated receiver on its demo air) is loaded, its factory's
// component used, and the library closed again once the component is released.
TEST(ComponentLoadTest, CreatesTheRegisteredComponent) {
    TestEnv env;
    env.RegisterReceiver();
    const QByteArray library = QFile::encodeName(TestEnv::SimulatedReceiver());
    {
        TViaDABWrapper wrapper(&TReceiverComponent::CreateRegistered);
        ASSERT_TRUE(wrapper.IsConnected());
        EXPECT_TRUE(wrapper.Tune(218.640));
        void* loaded = ::dlopen(library.constData(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(loaded, nullptr);
        ::dlclose(loaded);
    }
    EXPECT_EQ(::dlopen(library.constData(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

// An unregistered, missing or foreign library raises ReceiverError saying what went wrong.
TEST(ComponentLoadTest, FailuresRaiseClearErrors) {
    TestEnv env;
    EXPECT_NE(MessageOf([] { TReceiverComponent::CreateRegistered(); }).find("not registered"),
              std::string::npos);

    env.RegisterReceiver(env.File("missing.so"));
    const std::string missing = MessageOf([] { TReceiverComponent::CreateRegistered(); });
    EXPECT_NE(missing.find("cannot be loaded"), std::string::npos) << missing;
    EXPECT_NE(missing.find("missing.so"), std::string::npos) << missing;

    env.RegisterReceiver("libm.so.6");
    const std::string foreign =
        MessageOf([] { TViaDABWrapper wrapper(&TReceiverComponent::CreateRegistered); });
    EXPECT_NE(foreign.find("CreateViadabRx"), std::string::npos) << foreign;
}

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QFile>
#include <string>

#include "platform/RegistryKey.h"
#include "receiver/IViadabRx.h"
#include "receiver/ReceiverError.h"
#include "receiver/TReceiverComponent.h"
#include "receiver/TViaDABWrapper.h"
#include "tests/support/TestEnv.h"

namespace {

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ReceiverError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

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

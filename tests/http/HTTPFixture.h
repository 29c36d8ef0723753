#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <atomic>
#include <memory>
#include <string>

#include "http/THTTPServer.h"
#include "platform/RegistryKey.h"
#include "receiver/TMainControl.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "tests/http/HTTPTestClient.h"
#include "tests/receiver/FakeReceiver.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

inline constexpr double k12B = 225.648;
inline constexpr double k11D = 222.064;

// A server on a free port of every address, over a real controller and wrapper driving the fake
// receiver (FillDemoAir), with a service table and settings in a fresh folder. The "is local"
// check answers `remote` negated, so a test can play a client from another computer.
class HTTPFixture : public ::testing::Test {
protected:
    HTTPFixture()
        : tables(env.ProgramDir(), dialogs),
          settings(RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::User),
                               TSettingsWrapper::KeyPath()),
                   RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Machine),
                               TSettingsWrapper::KeyPath()),
                   tables, 0, 1920),
          wrapper([this] { return std::make_unique<TReceiverComponent>(&fake); }),
          control(wrapper, tables) {
        FillDemoAir(fake);
        otherA = tables.AddService(0xD001, 0, QStringLiteral("Other A"), u'A', 3, k11D);
        StartServer();
    }
    ~HTTPFixture() override { server.reset(); }

    void StartServer() {
        server.reset();
        server = std::make_unique<THTTPServer>(
            settings, tables, control, 0,
            [this](const TSocketAddress& local) { return !remote && local.IsLoopback(); });
        ASSERT_TRUE(server->IsActive());
        port = server->Port();
    }
    // Tunes and lets the receiver report the ensemble ready (the services become known).
    void Settle(double frequency) {
        ASSERT_TRUE(control.TuneFrequency(frequency));
        fake.ready = true;
        control.TheTimerTimer();
        ASSERT_TRUE(control.IsSettled());
    }
    std::int32_t RadioOne() const { return tables.FindService(0xC0DE, 0); }
    std::string Get(const std::string& request) { return Exchange(port, request); }

    TestEnv env;
    ScriptedDialogs dialogs;
    FakeReceiver fake;
    TServiceTablesWrapper tables;
    TSettingsWrapper settings;
    TViaDABWrapper wrapper;
    TMainControl control;
    std::atomic<bool> remote{false};
    std::unique_ptr<THTTPServer> server;
    std::uint16_t port = 0;
    std::int32_t otherA = 0;
};

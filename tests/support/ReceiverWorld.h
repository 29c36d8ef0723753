#pragma once

#include <cstdint>

#include "platform/RegistryKey.h"
#include "receiver/TMainControl.h"
#include "receiver/TViaDABWrapper.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "tests/receiver/FakeReceiver.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

// The program's receiver side in a fresh environment: real service tables and settings (their
// own hives), a receiver component behind a real wrapper and tuning controller, and scripted
// dialogs. The component is the fake on the demo air (FillDemoAir), or the simulated receiver
// registered in the environment. The tables know "Radio One" (SId C0DE on 12B) and "Other A",
// "Other B" (D001, D002 on 11D) unless made empty. Main thread only.
struct ReceiverWorld {
    enum class Tables { Known, Empty };
    enum class Component { Fake, Simulated };
    explicit ReceiverWorld(Tables known = Tables::Known, Component component = Component::Fake);

    // Tunes and lets the receiver report the ensemble ready: the controller learns its services.
    void Settle(double frequency);
    QString Path(const QString& name) const { return env.File(name); }
    static RegistryKey SettingsKey(RegistryKey::Hive hive);

    TestEnv env;
    ScriptedDialogs dialogs;
    FakeReceiver fake;
    int created = 0;  // components the wrapper has made
    TServiceTablesWrapper tables;
    TSettingsWrapper settings;
    TViaDABWrapper wrapper;
    TMainControl control;
    std::int32_t radioOne = 0;
    std::int32_t otherA = 0;
    std::int32_t otherB = 0;
};

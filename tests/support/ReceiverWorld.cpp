#include "tests/support/ReceiverWorld.h"

#include <gtest/gtest.h>

#include <memory>

#include "receiver/TReceiverComponent.h"

ReceiverWorld::ReceiverWorld(Tables known, Component component)
    : tables(env.ProgramDir(), dialogs),
      settings(SettingsKey(RegistryKey::Hive::User), SettingsKey(RegistryKey::Hive::Machine),
               tables, 0, 1920),
      wrapper([this, component] {
          ++created;
          if (component == Component::Simulated) {
              env.RegisterReceiver();
              return TReceiverComponent::CreateRegistered();
          }
          return std::make_unique<TReceiverComponent>(&fake);
      }),
      control(wrapper, tables) {
    FillDemoAir(fake);
    if (known == Tables::Known) {
        radioOne = tables.AddService(0xC0DE, 0, QStringLiteral("Radio One"), u'A', 10, k12B);
        otherA = tables.AddService(0xD001, 0, QStringLiteral("Other A"), u'A', 3, k11D);
        otherB = tables.AddService(0xD002, 0, QStringLiteral("Other B"), u'A', 4, k11D);
    }
}

void ReceiverWorld::Settle(double frequency) {
    ASSERT_TRUE(control.TuneFrequency(frequency));
    fake.ready = true;
    control.TheTimerTimer();
    ASSERT_TRUE(control.IsSettled());
}

RegistryKey ReceiverWorld::SettingsKey(RegistryKey::Hive hive) {
    return RegistryKey(RegistryKey::HiveFile(hive), TSettingsWrapper::KeyPath());
}

#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "LayerTwoStream.h"
#include "platform/RegistryKey.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

// The stream cut into its frames, one block each, as the receiver delivers them.
std::vector<std::vector<std::uint8_t>> FramesOf(const LayerTwoStream& stream);
QByteArray Concat(const std::vector<std::vector<std::uint8_t>>& blocks);
QByteArray AsBytes(const std::vector<std::uint8_t>& data);

// A fresh environment with real service tables (one service "Radio One", SId C0DE) and
// settings in their own hives.
struct RecorderWorld {
    RecorderWorld();

    TestEnv env;
    ScriptedDialogs dialogs;
    TServiceTablesWrapper tables;
    TSettingsWrapper settings;
    std::int32_t radioOne = 0;

    QString Path(const QString& name) const { return env.File(name); }
};

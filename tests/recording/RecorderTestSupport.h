#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "LayerTwoStream.h"
#include "tests/support/ReceiverWorld.h"

// The stream cut into its frames, one block each, as the receiver delivers them.
std::vector<std::vector<std::uint8_t>> FramesOf(const LayerTwoStream& stream);
QByteArray Concat(const std::vector<std::vector<std::uint8_t>>& blocks);
QByteArray AsBytes(const std::vector<std::uint8_t>& data);

// Recorders need the tables ("Radio One" is `radioOne`), the settings and a folder for files.
using RecorderWorld = ReceiverWorld;

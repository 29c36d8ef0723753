#pragma once

#include <cstdint>
#include <vector>

#include "tests/sim/PadReader.h"

// The former entry points of the frames the tests' PAD model writes (tests/sim/PadReader.h),
// for the HTTP and bar tests until they use that model directly; then this file goes.
PadFormat Stereo128();
PadFormat Mono48();
std::vector<std::uint8_t> Frame(const PadFormat& format, const std::uint8_t xpad[4],
                                std::uint8_t fpad1, std::uint8_t fpad2);

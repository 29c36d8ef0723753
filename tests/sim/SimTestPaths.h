#pragma once

#include <string>

// The build's bin folder, where the component, its demo air and the registration command are:
// $TUNORA_TEST_BIN_DIR, else the folder of the running test executable (built there too).
std::string SimBinDir();

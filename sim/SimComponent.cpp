// The component's one export: the factory that the receiver's owner finds with dlsym.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "receiver/IViadabRx.h"
#include "sim/AirFile.h"
#include "sim/SimReceiver.h"

namespace {

// $TUNORA_AIR_FILE, else demo.air beside this library.
std::string AirFilePath() {
    if (const char* env = std::getenv("TUNORA_AIR_FILE"); env != nullptr && *env != '\0') {
        return env;
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&AirFilePath), &info) != 0 && info.dli_fname != nullptr) {
        std::string path = info.dli_fname;
        const std::size_t slash = path.find_last_of('/');
        return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) +
               "/demo.air";
    }
    return "demo.air";
}

bool UnpacedByEnvironment() {
    const char* env = std::getenv("TUNORA_SIM_UNPACED");
    return env != nullptr && std::strcmp(env, "1") == 0;
}

}  // namespace

// A new simulated receiver, owned by the caller (end it with Release); null when the air file
// cannot be read (the reason goes to standard error).
extern "C" __attribute__((visibility("default"))) IViadabRx* CreateViadabRx() {
    try {
        Air air = AirFile::Load(AirFilePath());
        const bool unpaced = air.unpaced || UnpacedByEnvironment();
        return new SimReceiver(std::move(air), unpaced);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Simulated receiver: %s\n", e.what());
        return nullptr;
    }
}

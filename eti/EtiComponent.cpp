// The component's one export: the factory that the receiver's owner finds with dlsym.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "eti/EtiConfig.h"
#include "eti/EtiReceiver.h"
#include "receiver/IViadabRx.h"

namespace {

// $TUNORA_ETI_CONFIG, else eti.conf beside this library.
std::string ConfigPath() {
    if (const char* env = std::getenv("TUNORA_ETI_CONFIG"); env != nullptr && *env != '\0') {
        return env;
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ConfigPath), &info) != 0 && info.dli_fname != nullptr) {
        std::string path = info.dli_fname;
        const std::size_t slash = path.find_last_of('/');
        return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) +
               "/eti.conf";
    }
    return "eti.conf";
}

bool UnpacedByEnvironment() {
    const char* env = std::getenv("TUNORA_ETI_UNPACED");
    return env != nullptr && std::strcmp(env, "1") == 0;
}

void ToStandardError(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

// A new ETI receiver, owned by the caller (end it with Release); null when its configuration
// cannot be read or is faulty (the reason goes to standard error as "file:line: message").
extern "C" __attribute__((visibility("default"))) IViadabRx* CreateViadabRx() {
    try {
        EtiConfigData config = EtiConfig::Load(ConfigPath());
        config.unpaced = config.unpaced || UnpacedByEnvironment();
        return new EtiReceiver(std::move(config), ToStandardError);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ETI receiver: %s\n", e.what());
        return nullptr;
    }
}

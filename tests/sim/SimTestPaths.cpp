#include "tests/sim/SimTestPaths.h"

#include <unistd.h>
#include <climits>
#include <cstdlib>

std::string SimBinDir() {
    if (const char* env = std::getenv("TUNORA_TEST_BIN_DIR"); env != nullptr && *env != '\0') {
        return env;
    }
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/'));
}

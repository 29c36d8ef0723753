// Air files: any text is parsed or refused with an AirError, never worse.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/AirFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const Air air = AirFile::Parse(std::string(reinterpret_cast<const char*>(data), size));
        for (const AirEnsemble& e : air.ensembles) {
            AirFile::FindEnsemble(air, e.frequency);
        }
    } catch (const AirError&) {
    }
    return 0;
}

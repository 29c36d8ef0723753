// tunora-write-eti: ETI-NI recordings of an air file's ensembles, and an eti.conf that serves
// them, so the ETI receiver can be tried (and checked with other ETI readers) without a stick.
//   tunora-write-eti AIRFILE FOLDER [SECONDS]

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/AirFile.h"
#include "tests/eti/EtiWriter.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s AIRFILE FOLDER [SECONDS]\n", argv[0]);
        return 2;
    }
    try {
        const Air air = AirFile::Load(argv[1]);
        const std::filesystem::path folder = argv[2];
        std::filesystem::create_directories(folder);
        EtiWriter::Options options;
        options.seconds = argc == 4 ? std::atof(argv[3]) : 60;
        if (!(options.seconds > 0)) {
            std::fprintf(stderr, "SECONDS must be a positive number\n");
            return 2;
        }
        std::ofstream conf(folder / "eti.conf");
        conf << "# Written by tunora-write-eti from " << argv[1] << "\n";
        for (const AirEnsemble& e : air.ensembles) {
            char mhz[16];
            std::snprintf(mhz, sizeof mhz, "%.3f", e.frequency);
            const std::string name = std::string(mhz) + ".eti";
            EtiWriter::WriteFile(e, options, (folder / name).string());
            conf << "file " << mhz << " " << name << " loop\n";
            std::printf("%s: %s\n", (folder / name).c_str(), e.label.c_str());
        }
        conf.flush();
        if (!conf) {
            std::fprintf(stderr, "cannot write %s\n", (folder / "eti.conf").c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

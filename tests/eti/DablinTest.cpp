#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sim/AirFile.h"
#include "tests/eti/EtiWriter.h"

namespace {

// dablin plays files in real time: the file is kept short.
constexpr double kSeconds = 2.4;

const char* const kAir = R"(
ensemble 218.640 eid=0xC1A1 label="Harbourline DAB"
service sid=0xC2A1 label="Harbour FM" pty=10
audio label="Harbour FM" bitrate=128 content=music rotate=60
dls "Harbour FM - the sound of the coast"
service sid=0xC2A2 label="Saltmarsh Talk" pty=1
audio label="Saltmarsh Talk" bitrate=48 mode=mono rate=24 content=speech rotate=60
dls "Saltmarsh Talk: the harbour board meeting"
service sid=0xE1C2A103 label="Harbour Traffic"
data label="Harbour Traffic" type=5 bitrate=16
)";

std::string Output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    pclose(pipe);
    return out;
}

}  // namespace

// dablin, an independent ETI reader, plays a written file's DAB services as exactly the Layer II
// frames written, and (in its GTK version, whose copy command puts the label on the clipboard)
// shows the dynamic label written. dablin starts with the frame after the first ETI frame, once
// the FIC has told it the sub-channel: the comparison allows up to two frames of start.
TEST(DablinTest, AnIndependentReaderPlaysTheFramesAndLabelsWritten) {
    const Air air = AirFile::Parse(kAir);
    const AirEnsemble& e = air.ensembles.front();
    QTemporaryDir dir;
    const std::string file = dir.filePath("harbour.eti").toStdString();
    EtiWriter::WriteFile(e, {.seconds = kSeconds}, file);

    for (const AirService& s : e.services) {
        if (!s.components.front().audio) {
            continue;
        }
        const std::string sid = std::to_string(s.sid);
        const auto frames = EtiWriter::AudioFrames(e, s.sid, 0, {.seconds = kSeconds});
        std::string written;
        for (const auto& frame : frames) {
            written.append(frame.begin(), frame.end());
        }
        const std::string played = Output("dablin -s " + sid + " -u '" + file + "' 2>/dev/null");
        ASSERT_FALSE(played.empty()) << s.label;
        ASSERT_LE(played.size(), written.size()) << s.label;
        const std::size_t start = written.size() - played.size();
        EXPECT_LE(start, 2 * frames.front().size()) << s.label;
        EXPECT_EQ(played, written.substr(start)) << s.label;

        // The window keeps the label after the end of the file; the copy is tried until a label
        // has arrived (at most 30 s on a loaded machine): a copy made before that is empty and
        // is not taken for the answer. Without a window manager the keys go to the window under
        // the pointer. Xvfb picks a free display itself: two of these tests at once (in two
        // build trees) must not meet on one display as they can with xvfb-run -a.
        const std::string script = dir.filePath("label.sh").toStdString();
        std::ofstream(script)
            << "rm -f display\n"
               "Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 "
               "3>display 2>/dev/null &\n"
               "x=$!\n"
               "for i in $(seq 100); do [ -s display ] && break; sleep 0.1; done\n"
               "export DISPLAY=:$(head -n1 display)\n"
               "dablin_gtk -s "
            << sid << " -u '" << file
            << "' >/dev/null 2>&1 &\n"
               "d=$!\n"
               "for i in $(seq 50); do\n"
               "  sleep 0.5; xdotool mousemove 100 150 key ctrl+c; sleep 0.1\n"
               "  t=$(xclip -o -selection clipboard) && [ -n \"$t\" ] &&\n"
               "    printf %s \"$t\" && break\n"
               "done\n"
               "kill $d $x\n";
        const std::string label =
            Output("cd '" + dir.path().toStdString() + "' && sh '" + script + "' 2>/dev/null");
        EXPECT_EQ(label, s.components.front().labels.front().text) << s.label;
    }
}

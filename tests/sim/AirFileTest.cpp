#include <gtest/gtest.h>

#include <QFileInfo>
#include <set>
#include <string>

#include "sim/AirFile.h"
#include "sim/FrameLoop.h"
#include "tests/support/TestEnv.h"

namespace {

const char* const Header =
    "ensemble 225.648 eid=0xC1D4 label=\"Mux\"\nservice sid=0xC201 label=\"One\"\n";

}  // namespace

// The demo air that ships beside the library sits on six of the seven UK Band III channels of
// 11B-12D, with audio of both ScF-CRC lengths and data of both kinds, and gives its components
// handles that no ensemble or service id uses.
TEST(AirFileTest, DemoAirCoversTheCases) {
    const Air air = AirFile::Load(
        QFileInfo(TestEnv::SimulatedReceiver()).absolutePath().toStdString() + "/demo.air");
    const std::set<double> uk = {218.640, 220.352, 222.064, 223.936, 225.648, 227.360, 229.072};
    std::set<double> used;
    std::set<int> crcLengths, dataTypes;
    std::set<std::uint32_t> ids;
    std::set<std::int32_t> handles;
    for (const AirEnsemble& e : air.ensembles) {
        EXPECT_EQ(uk.count(e.frequency), 1u) << e.frequency;
        used.insert(e.frequency);
        ids.insert(e.eid);
        for (const AirService& s : e.services) {
            ids.insert(s.sid);
            for (const AirComponent& c : s.components) {
                handles.insert(c.handle);
                if (c.audio) {
                    crcLengths.insert(
                        FrameLoop::ScfCrcLengthFor(c.sampleRate, c.channels, c.bitrate));
                } else {
                    dataTypes.insert(c.dataType == 5 ? 5 : 0);
                }
            }
        }
    }
    EXPECT_EQ(used.size(), 6u);
    EXPECT_EQ(crcLengths, (std::set<int>{2, 4}));
    EXPECT_EQ(dataTypes, (std::set<int>{0, 5}));
    for (std::int32_t h : handles) {
        EXPECT_EQ(ids.count(static_cast<std::uint32_t>(h)), 0u) << h;
    }
}

// Quoted texts resolve the three DAB control-code escapes, hexadecimal bytes, quotes and
// backslashes; options, comments and CRLF line ends are understood.
TEST(AirFileTest, ParsesEscapesOptionsAndComments) {
    const Air air =
        AirFile::Parse(std::string("option unpaced\r\n") + Header +
                       "audio label=\"One\" bitrate=64 mode=mono  # trailing comment\r\n"
                       "dls \"a\\nb\\hc\\-d\\x41\\xe9 \\\"q\\\" \\\\\"\r\n"
                       "dls remove\n");
    ASSERT_TRUE(air.unpaced);
    const AirComponent& c = air.ensembles.at(0).services.at(0).components.at(0);
    ASSERT_EQ(c.labels.size(), 2u);
    EXPECT_EQ(c.labels[0].text, std::string("a\x0A"
                                            "b\x0B"
                                            "c\x1F"
                                            "dA\xE9 \"q\" \\"));
    EXPECT_TRUE(c.labels[1].remove);
    EXPECT_EQ(c.channels, 1);
    EXPECT_EQ(c.sampleRate, 48000);
    EXPECT_NE(c.handle, 0);
}

// Faults are reported with the number of the offending line, whether lines end at LF, CRLF or
// a CR alone.
TEST(AirFileTest, ReportsErrorsWithLineNumbers) {
    struct Case {
        std::string text;
        int line;
        std::string words;
    };
    const std::string h = Header;
    const std::string one = h + "audio label=\"One\" bitrate=64\n";  // lines 1-3
    const auto ending = [](const std::string& text, const std::string& end) {
        std::string out;
        for (const char ch : text) {
            out += ch == '\n' ? end : std::string(1, ch);
        }
        return out;
    };
    const std::string late = "# air\n" + one + "\ndls \"x\"\nbogus\n";  // read to line 7
    const Case cases[] = {
        {"\nbroadcast 1\n", 2, "unknown keyword"},
        {late, 7, "unknown keyword"},
        {ending(late, "\r\n"), 7, "unknown keyword"},
        {ending(late, "\r"), 7, "unknown keyword"},
        {"service sid=1 label=\"X\"\n", 1, "before any ensemble"},
        {"ensemble 100.0 eid=1 label=\"X\"\n", 1, "outside Band III"},
        {"ensemble 225.648 eid=1 label=\"X\"\nensemble 225.6482 eid=2 label=\"Y\"\n", 2,
         "second ensemble"},
        {h + "audio label=\"One\" bitrate=384 mode=mono\n", 3, "not a Layer II rate"},
        {h + "audio label=\"One\" bitrate=48 mode=stereo\n", 3, "not a Layer II rate"},
        {h + "audio label=\"One\" bitrate=64 rate=32\n", 3, "48 or 24"},
        {h + "audio label=\"One\" bitrat=64\n", 3, "unknown audio key"},
        {one + "service sid=0xC201 label=\"Two\"\n", 4, "twice"},
        {h + "audio label=\"Seventeen chars!!\" bitrate=64\n", 3, "longer than 16"},
        {one + "dls \"" + std::string(129, 'x') + "\"\n", 4, "128"},
        {one + "dls \"open\n", 4, "unterminated"},
        {one + "dls \"\\q\"\n", 4, "unknown escape"},
        {h + "data label=\"D\" type=5 bitrate=16\ndls \"x\"\n", 4, "audio components"},
        {h + "service sid=0xC202 label=\"Two\"\n", 2, "without components"},
        {"ensemble 225.648 label=\"X\"\n", 1, "eid="},
        {"option fast\n", 1, "unknown option"},
    };
    for (const Case& c : cases) {
        try {
            AirFile::Parse(c.text, "t.air");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const AirError& e) {
            const std::string message = e.what();
            EXPECT_EQ(e.Line(), c.line) << c.text << " -> " << message;
            EXPECT_NE(message.find(c.words), std::string::npos) << message;
            EXPECT_EQ(message.rfind("t.air:" + std::to_string(c.line) + ": ", 0), 0u) << message;
        }
    }
}

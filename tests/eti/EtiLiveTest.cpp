#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "eti/EtiConfig.h"
#include "eti/EtiReceiver.h"
#include "tests/support/Polling.h"

namespace {

// Processes whose parent is this one, zombies included.
int Children() {
    int count = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        std::ifstream stat(("/proc/" + entry + "/stat").toStdString());
        std::string text;
        std::getline(stat, text);
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        char state = 0;
        int parent = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == ::getpid()) {
            ++count;
        }
    }
    return count;
}

struct Reports {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex);
        return lines;
    }
};

struct LiveCase {
    const char* command;  // on 11B
    const char* report;   // the end of the one line reported
};

}  // namespace

// A live command that exits, cannot start, or writes bytes that are no ETI is reported in one
// line, ended and reaped (no zombie left), the error ratio reads 1.0, and a tune to the same
// frequency starts it again; a command still
// running when the receiver tunes away is ended and reaped without a report.
TEST(EtiLiveTest, FailingCommandsAreReportedAndReaped) {
    QTemporaryDir dir;
    const std::string garbage = dir.filePath(QStringLiteral("garbage.sh")).toStdString();
    std::ofstream(garbage) << "head -c 200000 /dev/urandom\nexec sleep 30\n";
    const LiveCase cases[] = {
        {"/bin/false", "11B: \"/bin/false\" exited with status 1"},
        {"/no/such/program", "11B: \"/no/such/program\" cannot start: No such file or directory"},
        {"sh GARBAGE", "11B: \"sh\" writes no ETI stream; ended"},
    };
    for (const LiveCase& c : cases) {
        std::string command = c.command;
        if (const std::size_t at = command.find("GARBAGE"); at != std::string::npos) {
            command.replace(at, 7, garbage);
        }
        Reports reports;
        auto* rx =
            new EtiReceiver(EtiConfig::Parse("live 11B " + command + "\nlive 11C sleep 30\n"),
                            [&](const std::string& line) {
                                std::lock_guard lock(reports.mutex);
                                reports.lines.push_back(line);
                            });
        std::int32_t ok = 0;
        ASSERT_EQ(rx->Tune(218.640, &ok), RxOk);
        ASSERT_TRUE(PollUntil([&] { return !reports.Lines().empty(); }, 10000)) << command;
        EXPECT_EQ(reports.Lines(),
                  std::vector<std::string>{"ETI receiver: " + std::string(c.report)});
        EXPECT_EQ(Children(), 0) << command;
        double ratio = 0;
        EXPECT_EQ(rx->GetErrorRatio(&ratio), RxOk);
        EXPECT_EQ(ratio, 1.0);
        // Tuning the failed frequency again starts its command over.
        ASSERT_EQ(rx->Tune(218.640, &ok), RxOk);
        ASSERT_TRUE(PollUntil([&] { return reports.Lines().size() == 2; }, 10000)) << command;
        EXPECT_EQ(reports.Lines()[1], reports.Lines()[0]);

        // A running command is ended on the next tune, and the one started then on release.
        ASSERT_EQ(rx->Tune(220.352, &ok), RxOk);
        EXPECT_TRUE(PollUntil([] { return Children() == 1; }, 5000));
        ASSERT_EQ(rx->Tune(222.064, &ok), RxOk);
        EXPECT_TRUE(PollUntil([] { return Children() == 0; }, 5000));
        ASSERT_EQ(rx->Tune(220.352, &ok), RxOk);
        EXPECT_TRUE(PollUntil([] { return Children() == 1; }, 5000));
        rx->Release();
        EXPECT_EQ(Children(), 0);
        EXPECT_EQ(reports.Lines().size(), 2u);
    }
}

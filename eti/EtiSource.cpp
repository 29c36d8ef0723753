#include "eti/EtiSource.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "eti/EtiStreamReader.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFrameTime = std::chrono::milliseconds(24);
// A paced recording that fell this far behind (a suspended process) rejoins real time.
constexpr auto kResync = std::chrono::seconds(1);
constexpr int kPollMs = 100;

// Sleeps until `due` or a stop request.
void SleepUntil(Clock::time_point due, std::stop_token stop) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    cv.wait_until(lock, stop, due, [] { return false; });
}

std::string Describe(int status) {
    if (WIFEXITED(status)) {
        return "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("ended by signal ") + std::to_string(WTERMSIG(status));
    }
    return "ended";
}

}  // namespace

EtiSource::EtiSource(const EtiSourceEntry* entry, double frequencyMHz, bool unpaced,
                     FrameHandler frame, EndHandler ended, std::unique_ptr<EtiSource> previous)
    : entry_(entry != nullptr ? *entry : EtiSourceEntry{}),
      none_(entry == nullptr),
      frequency_(frequencyMHz),
      unpaced_(unpaced),
      frame_(std::move(frame)),
      ended_(std::move(ended)) {
    thread_ = std::jthread([this, old = std::move(previous)](std::stop_token stop) mutable {
        old.reset();
        if (none_ || stop.stop_requested()) {
            return;
        }
        if (entry_.kind == EtiSourceEntry::Kind::File) {
            RunFile(stop);
        } else {
            RunLive(stop);
        }
    });
}

EtiSource::~EtiSource() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string EtiSource::Name() const {
    std::string where = EtiConfig::ChannelName(frequency_);
    if (where.empty()) {
        char mhz[32];
        std::snprintf(mhz, sizeof mhz, "%.3f MHz", frequency_);
        where = mhz;
    }
    const std::string what =
        entry_.kind == EtiSourceEntry::Kind::File ? entry_.path : entry_.command.front();
    return "ETI receiver: " + where + ": \"" + what + "\"";
}

bool EtiSource::Feed(EtiStreamReader& reader, const std::uint8_t* data, std::size_t length) {
    fed_ += length;
    reader.Feed(data, length);
    return fed_ - lastGood_ < kGarbageBytes;
}

void EtiSource::RunFile(std::stop_token stop) {
    std::FILE* file = std::fopen(entry_.path.c_str(), "rb");
    if (file == nullptr) {
        ended_(Name() + " cannot be read: " + std::strerror(errno));
        return;
    }
    EtiStreamReader reader([this](const EtiFrameView& view) {
        lastGood_ = fed_;
        frame_(view);
    });
    std::vector<std::uint8_t> chunk(EtiFrame::kSize);
    Clock::time_point due = Clock::now();
    std::uint64_t passStart = 0;
    std::string problem;
    while (!stop.stop_requested()) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
        if (got > 0 && !Feed(reader, chunk.data(), got)) {
            problem = Name() + " holds no ETI stream";
            break;
        }
        if (got < chunk.size()) {
            // The end: a pass that gave no frame at all would loop for ever.
            if (!entry_.loop || lastGood_ <= passStart) {
                reader.Finish();
                if (lastGood_ <= passStart) {
                    problem = Name() + " holds no ETI stream";
                }
                break;
            }
            passStart = fed_;
            std::rewind(file);
        }
        if (unpaced_) {
            std::this_thread::yield();
            continue;
        }
        due += kFrameTime;
        const Clock::time_point now = Clock::now();
        if (now - due > kResync) {
            due = now;
        }
        SleepUntil(due, stop);
    }
    std::fclose(file);
    if (!stop.stop_requested()) {
        ended_(problem);
    }
}

void EtiSource::RunLive(std::stop_token stop) {
    const std::vector<std::string> words = EtiConfig::Substitute(entry_.command, frequency_);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ended_(Name() + " has no pipe: " + std::strerror(errno));
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    // The program's own descriptors (sockets, files) are none of the command's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& w : words) {
        argv.push_back(const_cast<char*>(w.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        ended_(Name() + " cannot start: " + std::strerror(spawned));
        return;
    }

    EtiStreamReader reader([this](const EtiFrameView& view) {
        lastGood_ = fed_;
        frame_(view);
    });
    std::vector<std::uint8_t> buffer(16 * EtiFrame::kSize);
    std::string problem;
    while (!stop.stop_requested()) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR) {
            problem = Name() + " cannot be read: " + std::strerror(errno);
            break;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t got = ::read(fds[0], buffer.data(), buffer.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            break;  // the command closed its output: it ends
        }
        if (!Feed(reader, buffer.data(), static_cast<std::size_t>(got))) {
            problem = Name() + " writes no ETI stream; ended";
            break;
        }
    }
    ::close(fds[0]);
    if (stop.stop_requested() || !problem.empty()) {
        EndChild(child);
        if (!stop.stop_requested()) {
            ended_(problem);
        }
        return;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    reader.Finish();
    ended_(Name() + " " + Describe(status));
}

void EtiSource::EndChild(pid_t child) {
    ::kill(child, SIGTERM);
    const Clock::time_point deadline = Clock::now() + kKillWait;
    int status = 0;
    while (Clock::now() < deadline) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

#include "recording/TRecorderRecode.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Formats.h"
#include "platform/ProgramFolder.h"
#include "recording/TRecorderMP2.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"

extern char** environ;

namespace {

std::mutex programMutex;
QString programOverride;

constexpr int kWaitPolls = 80;
constexpr auto kPollInterval = std::chrono::milliseconds(100);
std::atomic<std::int64_t> stopWaitMs{kWaitPolls * kPollInterval.count()};

}  // namespace

QString TRecorderRecode::DefaultProgram() {
    const std::lock_guard lock(programMutex);
    return programOverride.isEmpty() ? ProgramFolder::ExecutablePath() : programOverride;
}

void TRecorderRecode::SetDefaultProgram(const QString& program) {
    const std::lock_guard lock(programMutex);
    programOverride = program;
}

void TRecorderRecode::SetStopWait(std::chrono::milliseconds wait) {
    stopWaitMs = wait.count();
}

QStringList TRecorderRecode::BuildArguments(const QString& format, const QString& title,
                                            const QDateTime& timestamp, std::int32_t bitRate,
                                            std::int32_t samplingFrequency) {
    QStringList words{QStringLiteral("RECODE"), format, QStringLiteral("/TITLE=") + title,
                      QStringLiteral("/TIMESTAMP=") + FormatDate(timestamp.date()) + u' ' +
                          FormatTime(timestamp.time())};
    if (bitRate != 0) {
        words.append(QStringLiteral("/BITRATE=") + QString::number(bitRate));
    }
    if (samplingFrequency != 0) {
        words.append(QStringLiteral("/SAMPLERATE=") + QString::number(samplingFrequency));
    }
    return words;
}

QString TRecorderRecode::BuildCommandLine(const QString& program, const QStringList& arguments) {
    QString line = program;
    for (const QString& word : arguments) {
        const bool quoted = word.startsWith(QStringLiteral("/TITLE=")) ||
                            word.startsWith(QStringLiteral("/TIMESTAMP="));
        line += u' ';
        line += quoted ? u'"' + word + u'"' : word;
    }
    return line;
}

TRecorderRecode::TRecorderRecode(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                                 const TSettingsWrapper& settings, const QString& fileName,
                                 const QString& format, const QString& program)
    : TRecorder(serviceId, tables) {
    TRecorderMP2::KeepAsBackup(fileName);
    const QString executable = program.isEmpty() ? DefaultProgram() : program;
    // The words go to the child as they are: no quoting is needed, so a title holding a double
    // quote arrives whole.
    const QStringList arguments = BuildArguments(
        format, tables.GetServiceLabel(serviceId), QDateTime::currentDateTime(),
        settings.ReadInteger(Setting::BitRate), settings.ReadInteger(Setting::SamplingFrequency));
    CommandLine_ = BuildCommandLine(executable, arguments);

    auto [pipeRead, pipeWrite] = FileDescriptor::Pipe();
    if (!pipeRead.IsValid()) {
        childGone_ = true;
        return;
    }
    PipeWrite = std::move(pipeWrite);
    const QByteArray path = QFile::encodeName(fileName);
    FileDescriptor outputFile(
        path.isEmpty() ? -1
                       : ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));

    if (outputFile.IsValid()) {
        std::vector<QByteArray> words{QFile::encodeName(executable)};
        for (const QString& word : arguments) {
            words.push_back(word.toLocal8Bit());
        }
        std::vector<char*> argv;
        for (QByteArray& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // dup2 clears close-on-exec on the copies: the child gets exactly these three.
        posix_spawn_file_actions_adddup2(&actions, pipeRead.Get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outputFile.Get(), STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        // The caller's thread may have signals blocked or SIGPIPE ignored: the child starts
        // with an ordinary signal state.
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        pid_t child = -1;
        if (::posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ) == 0) {
            ProcessId_ = child;
        }
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    // Only the child keeps the read end (and the file): with the child gone a write fails with
    // EPIPE at once instead of filling the pipe and blocking the receiver's thread for good.
    pipeRead.Reset();
    outputFile.Reset();
    if (ProcessId_ <= 0) {
        childGone_ = true;
    }
}

TRecorderRecode::~TRecorderRecode() {
    // The end of its input tells the child to finish the file.
    PipeWrite.Reset();
    if (ProcessId_ <= 0) {
        return;
    }
    const auto wait = std::chrono::milliseconds(stopWaitMs.load());
    const auto interval = std::min<std::chrono::milliseconds>(kPollInterval, wait);
    for (auto waited = std::chrono::milliseconds(0);; waited += interval) {
        int status = 0;
        const pid_t done = ::waitpid(ProcessId_, &status, WNOHANG);
        if (done == ProcessId_ || (done < 0 && errno != EINTR)) {
            return;
        }
        if (waited >= wait) {
            break;
        }
        std::this_thread::sleep_for(interval);
    }
    ::kill(ProcessId_, SIGKILL);
    int status = 0;
    while (::waitpid(ProcessId_, &status, 0) < 0 && errno == EINTR) {
    }
}

bool TRecorderRecode::ChildRunning() const {
    if (ProcessId_ <= 0) {
        return false;
    }
    siginfo_t info{};
    // WNOWAIT leaves the child to the destructor's wait.
    if (::waitid(P_PID, static_cast<id_t>(ProcessId_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        return errno == EINTR;
    }
    return info.si_pid == 0;
}

void TRecorderRecode::WriteBlock(const std::uint8_t* buffer, std::int32_t count) {
    if (count < 1 || childGone_ || !PipeWrite.IsValid()) {
        return;
    }
    if (!ChildRunning()) {
        childGone_ = true;
        return;
    }
    WriteToPipe(buffer, count);
}

void TRecorderRecode::WriteToPipe(const std::uint8_t* buffer, std::int32_t count) {
    // The child may end between the check and the write. SIGPIPE is blocked in this thread for
    // the write and, when the write raised it, taken back: the process-wide disposition stays
    // whatever the program set.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;

    std::int32_t done = 0;
    while (done < count) {
        const ssize_t written = ::write(PipeWrite.Get(), buffer + done, count - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (errno == EPIPE) {
                childGone_ = true;
                if (!alreadyPending) {
                    const timespec noWait{0, 0};
                    while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
                    }
                }
            }
            break;
        }
        done += static_cast<std::int32_t>(written);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

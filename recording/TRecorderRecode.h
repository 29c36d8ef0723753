#pragma once

#include <sys/types.h>

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/FileDescriptor.h"
#include "recording/TRecorder.h"

class TSettingsWrapper;

// Records to WAV, MP3 or Ogg Vorbis through a second copy of the program in RECODE mode: the
// child reads the broadcast MPEG audio from a pipe on its standard input and writes the
// converted file on its standard output, so a failing codec only ends the child.
//
// WriteBlock runs on the receiver's data thread and blocks while the pipe is full. Once the
// child is gone every block is dropped; a write that finds the child gone never raises SIGPIPE
// in this process (the signal is blocked around the write and a pending one discarded).
class TRecorderRecode : public TRecorder {
public:
    // Keeps an existing `fileName` as its ".bak", creates the file and starts the child with
    // the file as its standard output. `format` is "WAV", "MP3" or "OGG". `program` is the
    // executable to start (empty: DefaultProgram()). Nothing is checked: a child that does not
    // start leaves an empty file and a recorder that drops every block. Main thread.
    TRecorderRecode(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                    const TSettingsWrapper& settings, const QString& fileName,
                    const QString& format, const QString& program = QString());
    // Ends the child's input, waits up to 8 s for it to finish the file, then kills it.
    ~TRecorderRecode() override;

    int RecorderKind() const override { return kKindRecording; }
    bool WantsPAD() const override { return false; }
    void WriteBlock(const std::uint8_t* buffer, std::int32_t count) override;

    // The child's words after the program path: "RECODE", the format, "/TITLE=" + title,
    // "/TIMESTAMP=" + date and time, then "/BITRATE=" and "/SAMPLERATE=" when not 0.
    static QStringList BuildArguments(const QString& format, const QString& title,
                                      const QDateTime& timestamp, std::int32_t bitRate,
                                      std::int32_t samplingFrequency);
    // The same as one line: the program path unquoted, the title and timestamp words each in
    // double quotes, single blanks between words.
    static QString BuildCommandLine(const QString& program, const QStringList& arguments);

    // The program started for recordings: the running executable unless set otherwise (tests
    // point it at a program of their own). Set before recordings start.
    static QString DefaultProgram();
    static void SetDefaultProgram(const QString& program);
    // How long the destructor waits for the child to finish before killing it: 80 polls of
    // 100 ms (8 s) unless set otherwise (tests shorten it). Any thread.
    static void SetStopWait(std::chrono::milliseconds wait);

    const QString& CommandLine() const { return CommandLine_; }
    pid_t ProcessId() const { return ProcessId_; }
    // The child still runs (without reaping it). Any thread.
    bool ChildRunning() const;

private:
    // Writes all of the block or notes the child gone.
    void WriteToPipe(const std::uint8_t* buffer, std::int32_t count);

    QString CommandLine_;
    // The write end of the child's standard input.
    FileDescriptor PipeWrite;
    pid_t ProcessId_ = -1;
    std::atomic<bool> childGone_{false};
};

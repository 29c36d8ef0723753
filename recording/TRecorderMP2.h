#pragma once

#include <QString>
#include <cstdint>

#include "platform/FileDescriptor.h"
#include "recording/TRecorder.h"

// Records the service's MPEG audio exactly as broadcast: the file is the concatenation of the
// blocks received. A file that cannot be created leaves a recorder that accepts blocks and
// writes nothing; write errors are dropped block by block.
class TRecorderMP2 : public TRecorder {
public:
    // Keeps an existing `fileName` as its ".bak", then creates the file empty. Main thread.
    TRecorderMP2(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                 const QString& fileName);
    ~TRecorderMP2() override;

    int RecorderKind() const override { return kKindRecording; }
    bool WantsPAD() const override { return false; }
    void WriteBlock(const std::uint8_t* buffer, std::int32_t count) override;

    bool IsOpen() const { return FileStream.IsValid(); }

    // When `fileName` exists: deletes the ".bak" of that name (same name, extension replaced
    // by ".bak") and renames the file to it. Failures are ignored.
    static void KeepAsBackup(const QString& fileName);
    // "dir/name.mp3" -> "dir/name.bak"; a name without extension gets ".bak" appended.
    static QString BackupName(const QString& fileName);

private:
    // The output file, opened for appending; none when it could not be opened.
    FileDescriptor FileStream;
};

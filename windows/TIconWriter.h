#pragma once

#include <QIODevice>
#include <memory>
#include <vector>

#include "windows/TIcon.h"
#include "windows/TIconWriterEntry.h"

// Assembles a Windows icon file (.ico) from icons added one by one. A value type.
class TIconWriter {
public:
    static constexpr int kHeaderSize = 6;
    static constexpr int kDirectoryEntrySize = 16;

    // Adds an image; `colourCount` is raised as TIconWriterEntry describes.
    void Add(const TIcon& icon, int colourCount);
    int Count() const { return static_cast<int>(entries_.size()); }
    const TIconWriterEntry& Entry(int index) const { return *entries_[index]; }

    // The file's bytes: header, one directory entry per image in the order added, then each
    // image's colour info block (height doubled to cover the mask rows), colour rows and mask
    // rows. Empty when no image was added.
    QByteArray Bytes() const;
    // Writes Bytes() to `stream` (nothing when no image was added); false when writing failed.
    bool SaveToStream(QIODevice& stream) const;

private:
    std::vector<std::unique_ptr<TIconWriterEntry>> entries_;
};

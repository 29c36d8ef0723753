#include "windows/TIconWriter.h"

#include <QtEndian>

namespace {

// Offset of the height field in a bitmap-info header.
constexpr int kHeightOffset = 8;

}  // namespace

void TIconWriter::Add(const TIcon& icon, int colourCount) {
    entries_.push_back(std::make_unique<TIconWriterEntry>(icon, colourCount));
}

QByteArray TIconWriter::Bytes() const {
    QByteArray out;
    if (entries_.empty()) {
        return out;
    }
    TIconWriterEntry::PutU16(out, 0);  // reserved
    TIconWriterEntry::PutU16(out, 1);  // icon
    TIconWriterEntry::PutU16(out, static_cast<std::uint16_t>(entries_.size()));

    std::uint32_t offset = kHeaderSize + kDirectoryEntrySize * entries_.size();
    for (const auto& entry : entries_) {
        const std::uint32_t size =
            entry->ColourInfoSize() + entry->ColourBitsSize() + entry->MaskBitsSize();
        const int colours = entry->ColourCount();
        out.append(static_cast<char>(entry->ColourBitmap().Width() & 0xFF));
        out.append(static_cast<char>(entry->ColourBitmap().Height() & 0xFF));
        out.append(static_cast<char>(colours <= 16 ? colours : 0));
        out.append('\0');
        TIconWriterEntry::PutU16(out,
                                 0);  // planes and bit count are left to the image's own header
        TIconWriterEntry::PutU16(out, 0);
        TIconWriterEntry::PutU32(out, size);
        TIconWriterEntry::PutU32(out, offset);
        offset += size;
    }

    for (const auto& entry : entries_) {
        QByteArray info = entry->ColourInfo();
        const auto height = qFromLittleEndian<std::int32_t>(info.constData() + kHeightOffset);
        qToLittleEndian<std::int32_t>(height * 2, info.data() + kHeightOffset);
        out.append(info);
        out.append(entry->ColourBits());
        out.append(entry->MaskBits());
    }
    return out;
}

bool TIconWriter::SaveToStream(QIODevice& stream) const {
    const QByteArray bytes = Bytes();
    return stream.write(bytes) == bytes.size();
}

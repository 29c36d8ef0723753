#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the dynamic label from the PAD at the end of MPEG Layer II frames (EN 300 401, 7.4):
// F-PAD type 00 with short or variable size X-PAD (contents indicator lists, continuation of the
// last data subfield in frames without one), dynamic label data groups (application types 2 and
// 3) with their CRC, segments in order, the character set of the first segment, and the
// remove-label command. Other applications' subfields are skipped. One thread at a time.
class DynamicLabelDecoder {
public:
    // One whole Layer II frame, header first, F-PAD last.
    void Frame(const std::uint8_t* frame, std::size_t length);
    // The last complete label as UTF-8; empty before one or after the remove-label command.
    const std::string& Label() const { return label_; }

    // ScF-CRC bytes before the F-PAD for the frame's header: 4 at 24 kHz, at 48 kHz 4 from
    // 56 kbit/s per channel up, else 2.
    static int ScfCrcLength(const std::uint8_t* header);

private:
    static constexpr std::size_t kMaxXPad = 4 + 4 * 48;

    void Subfield(int app, const std::uint8_t* bytes, std::size_t count);
    void Append(const std::uint8_t* bytes, std::size_t count);
    void DataGroup();

    int xpadKind_ = 0;            // X-PAD indicator of the last F-PAD of type 00
    int lastApp_ = 0;             // application of the last data subfield
    std::size_t lastLength_ = 0;  // its length (variable size X-PAD)
    bool collecting_ = false;     // inside a dynamic label data group
    std::vector<std::uint8_t> group_;
    int lastSegment_ = -1;
    int charset_ = 0;
    std::string segments_;  // bytes of the segments so far, in the label's character set
    std::string label_;
};

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The tests' own model of the DAB PAD (EN 300 401 7.4), independent of the program's decoder
// and the simulated receiver's encoder. At a frame's end: the short X-PAD (4 bytes, stored in
// reverse order), the ScF-CRC field, then the two F-PAD bytes. A dynamic label travels as one
// data group per segment (2 prefix bytes, up to 16 characters, CRC), starting on a frame whose
// F-PAD carries the contents-indicator flag, whose first X-PAD byte is application type 2.

// CRC-16 of the dynamic label data groups: x^16 + x^12 + x^5 + 1, preset ones, inverted.
std::uint16_t DlsCrc(const std::uint8_t* data, std::size_t length);

// Reads frames back as a receiver does.
class PadReader {
public:
    struct Group {
        std::uint8_t prefix0 = 0;
        std::uint8_t prefix1 = 0;
        std::string characters;
        bool crcOk = false;
    };

    explicit PadReader(int scfCrcLength) : scfCrcLength_(scfCrcLength) {}

    void Frame(const std::uint8_t* frame, std::size_t length);

    int MusicSpeech() const { return musicSpeech_; }
    int XPadKind() const { return xpadKind_; }
    const std::string& Displayed() const { return displayed_; }
    // Every label completed so far (an empty entry for a remove-label command), repeats folded.
    const std::vector<std::string>& Labels() const { return labels_; }
    const std::vector<Group>& Groups() const { return groups_; }
    int CiFrames() const { return ciFrames_; }
    int TypeTenFrames() const { return typeTenFrames_; }

private:
    void DataGroup();
    void Show(const std::string& text);

    int scfCrcLength_;
    int musicSpeech_ = 0;
    int xpadKind_ = 0;
    bool collecting_ = false;
    std::vector<std::uint8_t> buffer_;
    std::string assembling_;
    int lastSegment_ = -1;
    std::string displayed_;
    std::vector<std::string> labels_;
    std::vector<Group> groups_;
    int ciFrames_ = 0;
    int typeTenFrames_ = 0;
};

// Frames written by hand, to feed a decoder. A format is the frame's MPEG header, its length and
// the ScF-CRC length the standard gives it.
struct PadFormat {
    std::array<std::uint8_t, 4> header;
    int length;  // bytes
    int scfCrc;  // bytes
};
// MPEG-1 Layer II 48 kHz: stereo 128 kbit/s, stereo 96, mono 48, mono 64; MPEG-2 24 kHz mono 64.
inline constexpr PadFormat kStereo128{{0xFF, 0xFC, 0x84, 0x00}, 384, 4};
inline constexpr PadFormat kPadFormats[] = {kStereo128,
                                            {{0xFF, 0xFC, 0x64, 0x00}, 288, 2},
                                            {{0xFF, 0xFC, 0x24, 0xC0}, 144, 2},
                                            {{0xFF, 0xFC, 0x44, 0xC0}, 192, 4},
                                            {{0xFF, 0xF4, 0x84, 0xC0}, 384, 4}};

// F-PAD byte L-1 of a frame carrying short X-PAD; byte L's contents-indicator flag.
inline constexpr std::uint8_t kShortXPad = 0x10;
inline constexpr std::uint8_t kContentsIndicator = 0x02;

// A frame of filler with `xpad` and the F-PAD bytes in place.
std::vector<std::uint8_t> PadFrame(const PadFormat& format, const std::array<std::uint8_t, 4>& xpad,
                                   std::uint8_t fpad1, std::uint8_t fpad2);
// One label segment as a data group, its contents-indicator byte in front and its CRC at the
// end; the remove-label command is the bare prefix with its CRC.
// `charset` goes into a first segment's prefix (0 = EBU Latin).
std::vector<std::uint8_t> LabelGroup(const std::string& chars, bool first, bool last, int segment,
                                     int charset = 0);
std::vector<std::uint8_t> RemoveLabelGroup();
// The frames carrying `group` in short X-PAD, 4 bytes a frame, the first one flagged.
std::vector<std::vector<std::uint8_t>> GroupFrames(const PadFormat& format,
                                                   const std::vector<std::uint8_t>& group);
// A frame that starts a new, empty data group: a receiver takes the one before as complete.
std::vector<std::uint8_t> EndMarkerFrame(const PadFormat& format);

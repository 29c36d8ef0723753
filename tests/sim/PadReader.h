#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An independent reader of the DAB PAD that the simulated receiver writes (EN 300 401 7.4):
// F-PAD at the frame's end, short X-PAD before the ScF-CRC, dynamic label data groups.
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

// CRC-16 of the dynamic label data groups, written out separately from the encoder's.
std::uint16_t DlsCrc(const std::uint8_t* data, std::size_t length);

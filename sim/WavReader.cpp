#include "sim/WavReader.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sim/ProgrammeGenerator.h"

namespace {

constexpr int kPollMs = 100;  // how soon a stop is seen while a source keeps us waiting

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

WavReader::WavReader(const std::string& path, int sampleRate, std::stop_token stop)
    : path_(path), stop_(std::move(stop)) {
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        throw std::runtime_error("cannot read " + path);
    }
    try {
        std::uint8_t head[16];
        if (Read(head, 12) < 12 || std::memcmp(head, "RIFF", 4) != 0 ||
            std::memcmp(head + 8, "WAVE", 4) != 0) {
            throw std::runtime_error(path + " is not a WAV file");
        }
        bool data = false;
        while (Read(head, 8) == 8) {
            const std::uint32_t size = Le32(head + 4);
            if (std::memcmp(head, "data", 4) == 0) {
                dataLeft_ = size;  // a cut-off file ends sooner: then the file's end counts
                data = true;
                break;
            }
            std::uint32_t used = 0;
            if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16) {
                if (Read(head, 16) < 16) {
                    break;
                }
                used = 16;
                const int format = Le16(head);
                fileChannels_ = Le16(head + 2);
                const auto rate = static_cast<int>(Le32(head + 4));
                const int bits = Le16(head + 14);
                if (format != 1 || bits != 16 || (fileChannels_ != 1 && fileChannels_ != 2) ||
                    rate != sampleRate) {
                    throw std::runtime_error(path + ": need 16-bit PCM, 1 or 2 channels, " +
                                             std::to_string(sampleRate) + " Hz");
                }
            }
            Skip(size - used + (size & 1));
        }
        if (fileChannels_ == 0 || !data) {
            throw std::runtime_error(path + ": no fmt or data chunk");
        }
    } catch (...) {
        ::close(fd_);
        throw;
    }
    buffer_.resize(static_cast<std::size_t>(ProgrammeGenerator::kSamplesPerFrame) * 2 *
                   fileChannels_);
}

WavReader::~WavReader() {
    ::close(fd_);
}

bool WavReader::ReadFrame(std::int16_t* pcm, int channels) {
    if (dataLeft_ < buffer_.size() || Read(buffer_.data(), buffer_.size()) < buffer_.size()) {
        return false;
    }
    dataLeft_ -= buffer_.size();
    const std::uint8_t* data = buffer_.data();
    for (int i = 0; i < ProgrammeGenerator::kSamplesPerFrame; ++i) {
        const auto l = static_cast<std::int16_t>(Le16(data + i * 2 * fileChannels_));
        const auto r = fileChannels_ == 2 ? static_cast<std::int16_t>(Le16(data + i * 4 + 2)) : l;
        if (channels == 1) {
            pcm[i] = static_cast<std::int16_t>((l + r) / 2);
        } else {
            pcm[i * 2] = l;
            pcm[i * 2 + 1] = r;
        }
    }
    return true;
}

std::size_t WavReader::Read(std::uint8_t* into, std::size_t count) {
    std::size_t got = 0;
    while (got < count) {
        if (stop_.stop_requested()) {
            throw Stopped();
        }
        // A FIFO without a writer yet polls as not ready (and reads as ended), so wait first.
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready == 0 || (ready < 0 && errno == EINTR)) {
            continue;
        }
        const ssize_t n = ready < 0 ? -1 : ::read(fd_, into + got, count - got);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            throw std::runtime_error("cannot read " + path_ + ": " + std::strerror(errno));
        }
        got += static_cast<std::size_t>(n);
    }
    return got;
}

void WavReader::Skip(std::uint64_t count) {
    if (count == 0 || ::lseek(fd_, static_cast<off_t>(count), SEEK_CUR) >= 0) {
        return;
    }
    std::uint8_t sink[4096];
    while (count > 0) {
        const std::size_t n = Read(sink, std::min<std::uint64_t>(count, sizeof sink));
        if (n == 0) {
            return;
        }
        count -= n;
    }
}

#pragma once

#include <cstdint>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

// A 16-bit PCM WAV file read one Layer II frame of samples at a time, so that memory stays
// bounded whatever the file holds (a huge file, /dev/zero, a FIFO). The file is opened without
// blocking and every wait for data polls the stop token, so a source that never delivers does
// not hold up a shutdown. Used by one thread.
class WavReader {
public:
    // Thrown by any call once the stop token is requested.
    class Stopped : public std::runtime_error {
    public:
        Stopped() : std::runtime_error("stopped") {}
    };

    // Opens `path` and reads up to the start of its samples: 16-bit PCM, 1 or 2 channels, at
    // `sampleRate` Hz. Throws std::runtime_error (the text names the file) or Stopped.
    WavReader(const std::string& path, int sampleRate, std::stop_token stop);
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // The next 1152 samples per channel into `pcm`, interleaved, mixed or copied to `channels`
    // (1 or 2); false at the end of the samples, where a last partial frame is dropped.
    bool ReadFrame(std::int16_t* pcm, int channels);

private:
    // Up to `count` bytes, fewer only at the end of the file.
    std::size_t Read(std::uint8_t* into, std::size_t count);
    void Skip(std::uint64_t count);

    std::string path_;
    std::stop_token stop_;
    int fd_ = -1;
    int fileChannels_ = 0;
    std::uint64_t dataLeft_ = 0;  // bytes of the data chunk not read yet
    std::vector<std::uint8_t> buffer_;
};

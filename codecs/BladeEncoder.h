#pragma once

// The be-prefixed encoder interface shared by liblame_enc.so (MP3), libvorb_enc.so (Ogg Vorbis)
// and the program, which loads them by name. Records are packed little-endian byte layouts; the
// program fills them, the libraries read them field by field.

#include <cstddef>
#include <cstdint>

#define BE_EXPORT __attribute__((visibility("default")))

// Stream handle given out by beInitStream; 0 is never a valid handle.
using BeStream = std::uint32_t;
// Result of the be- entry points; only 0 means success.
using BeResult = std::uint32_t;

inline constexpr BeResult BeOk = 0;
// The record is not one this library reads (configuration kind, version or size).
inline constexpr BeResult BeErrInvalidFormat = 1;
// The record's rate, channels or bitrate cannot be encoded.
inline constexpr BeResult BeErrInvalidParameters = 2;
inline constexpr BeResult BeErrNoMoreHandles = 3;
inline constexpr BeResult BeErrInvalidHandle = 4;
// More samples than the chunk size beInitStream reported, or a null address.
inline constexpr BeResult BeErrBufferTooSmall = 5;

inline constexpr std::uint32_t BeConfigMp3 = 256;
inline constexpr std::uint32_t BeConfigOgg = 512;

#pragma pack(push, 1)

// Configuration of liblame_enc.so: 331 bytes.
struct BeMp3Config {
    std::uint32_t Config;         // BeConfigMp3
    std::uint32_t StructVersion;  // 1
    std::uint32_t StructSize;     // 331
    std::uint32_t SampleRate;     // input, Hz
    std::uint32_t ReSampleRate;   // output, Hz; 0 = same as input
    std::int32_t Mode;            // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::uint32_t Bitrate;        // kbit/s
    std::uint32_t MaxBitrate;     // kbit/s, upper bound in VBR mode
    std::int32_t Preset;          // 0 = none
    std::uint32_t MpegVersion;    // 1 = MPEG-1; informative, the output rate decides
    std::uint32_t PsyModel;       // ignored
    std::uint32_t Emphasis;       // 0 none, 1 50/15 µs, 3 CCITT J.17
    std::int32_t Private;         // private bit in every frame header
    std::int32_t Crc;             // CRC protection of every frame
    std::int32_t Copyright;       // copyright bit
    std::int32_t Original;        // original bit
    std::int32_t WriteVbrHeader;  // ignored: the output is a stream, the tag could not be fixed
    std::int32_t EnableVbr;       // nonzero: VBR with VbrQuality, bounded by MaxBitrate
    std::int32_t VbrQuality;      // 0 best .. 9
    std::uint8_t Reserved[255];
};

// Configuration of libvorb_enc.so: 72 bytes. A 32-bit field cannot hold an address on a 64-bit
// system, so each text field holds the distance in bytes from the start of this record to a
// zero-terminated UTF-8 text placed after it in the same block (0 = no text).
struct BeOggConfig {
    std::uint32_t Config;         // BeConfigOgg
    std::uint32_t StructVersion;  // 2
    std::uint32_t Channels;       // 1 or 2
    std::uint32_t SampleRate;     // Hz
    std::uint32_t Title;          // text: Vorbis comment TITLE
    std::uint32_t Artist;         // text: ARTIST
    std::uint32_t Album;          // text: ALBUM
    std::uint32_t Genre;          // text: GENRE
    std::uint32_t TrackNumber;    // text: TRACKNUMBER
    std::uint32_t Comment;        // text: COMMENT
    std::uint32_t Copyright;      // text: COPYRIGHT
    std::uint32_t Date;           // text: DATE
    std::uint32_t Reserved[3];
    std::int32_t MaxBitrate;  // kbit/s, -1 = no upper bound
    std::int32_t MinBitrate;  // kbit/s, -1 = no lower bound
    std::int32_t Bitrate;     // nominal, kbit/s
};

// Filled by beVersion.
struct BeVersion {
    std::uint8_t LibraryMajor;
    std::uint8_t LibraryMinor;
    std::uint8_t EngineMajor;  // version of the codec library underneath
    std::uint8_t EngineMinor;
    char Engine[124];  // its own version text, zero-terminated, cut to fit
};

#pragma pack(pop)

static_assert(sizeof(BeMp3Config) == 331);
static_assert(offsetof(BeMp3Config, SampleRate) == 12);
static_assert(offsetof(BeMp3Config, Mode) == 20);
static_assert(offsetof(BeMp3Config, Bitrate) == 24);
static_assert(offsetof(BeMp3Config, MaxBitrate) == 28);
static_assert(offsetof(BeMp3Config, MpegVersion) == 36);
static_assert(offsetof(BeMp3Config, PsyModel) == 40);
static_assert(offsetof(BeMp3Config, VbrQuality) == 72);
static_assert(offsetof(BeMp3Config, Reserved) == 76);

static_assert(sizeof(BeOggConfig) == 72);
static_assert(offsetof(BeOggConfig, Title) == 16);
static_assert(offsetof(BeOggConfig, Artist) == 20);
static_assert(offsetof(BeOggConfig, Copyright) == 40);
static_assert(offsetof(BeOggConfig, Date) == 44);
static_assert(offsetof(BeOggConfig, Reserved) == 48);
static_assert(offsetof(BeOggConfig, MaxBitrate) == 60);
static_assert(offsetof(BeOggConfig, MinBitrate) == 64);
static_assert(offsetof(BeOggConfig, Bitrate) == 68);

static_assert(sizeof(BeVersion) == 128);

inline constexpr std::uint8_t BeLibraryMajor = 1;
inline constexpr std::uint8_t BeLibraryMinor = 0;

extern "C" {
// Opens a stream for the record at `config`. Reports the 16-bit samples (all channels) one
// beEncodeChunk call takes at most, and the output bytes any one call may produce at most.
BE_EXPORT BeResult beInitStream(const void* config, std::uint32_t* samplesPerChunk,
                                std::uint32_t* outputBufferSize, BeStream* stream);
// Encodes `samples` interleaved 16-bit samples (at most the chunk size, may be 0) into `output`
// (the reported buffer size); `outputBytes` receives the bytes produced.
BE_EXPORT BeResult beEncodeChunk(BeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                                 std::uint8_t* output, std::uint32_t* outputBytes);
// Flushes what the encoder still holds into `output`; the stream stays open until beCloseStream.
BE_EXPORT BeResult beDeinitStream(BeStream stream, std::uint8_t* output,
                                  std::uint32_t* outputBytes);
BE_EXPORT BeResult beCloseStream(BeStream stream);
BE_EXPORT void beVersion(BeVersion* version);
}

using BeInitStreamFn = decltype(&beInitStream);
using BeEncodeChunkFn = decltype(&beEncodeChunk);
using BeDeinitStreamFn = decltype(&beDeinitStream);
using BeCloseStreamFn = decltype(&beCloseStream);
using BeVersionFn = decltype(&beVersion);

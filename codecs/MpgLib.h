#pragma once

// The MPEG audio decoder interface of libmpglib.so, shared by the library and the program, which
// loads it by name.

#include <cstdint>

#define MPGLIB_EXPORT __attribute__((visibility("default")))

// Size of the caller's decoder state area.
inline constexpr int MpgLibStateBytes = 40000;

// _decodeMP3 results: only MpgLibOk means PCM was produced.
inline constexpr int MpgLibOk = 0;
inline constexpr int MpgLibNeedMore = 1;
inline constexpr int MpgLibError = -1;

extern "C" {
// Prepares the MpgLibStateBytes-byte area at `state` for one stream; nonzero on success.
MPGLIB_EXPORT int _InitMP3(void* state);
// Feeds `inputBytes` bytes of MPEG audio (any cut, may be 0) and writes as much 16-bit
// interleaved PCM, in the stream's own rate and channel count, as `outputCapacity` takes
// (rounded down to whole stereo samples). PCM that does not fit stays in the state: call again
// with no input to take it. MpgLibOk with `produced` set when PCM was written; MpgLibNeedMore
// when more input is needed first; MpgLibError for an area that is not initialised.
MPGLIB_EXPORT int _decodeMP3(void* state, const std::uint8_t* input, int inputBytes,
                             std::uint8_t* output, int outputCapacity, int* produced);
// Releases what _InitMP3 set up; the area may be initialised again.
MPGLIB_EXPORT void _ExitMP3(void* state);
}

using InitMP3Fn = decltype(&_InitMP3);
using DecodeMP3Fn = decltype(&_decodeMP3);
using ExitMP3Fn = decltype(&_ExitMP3);

// libmpglib.so: the decoder entry points the program loads by name, over libmpg123.

#include "codecs/MpgLib.h"

#include <mpg123.h>

#include <cstring>

namespace {

constexpr std::uint32_t kMagic = 0x4D504731;  // "MPG1"

// What the caller's state area holds; copied in and out because the area has no alignment
// promise.
struct StateHeader {
    std::uint32_t Magic;
    std::uint32_t Reserved;
    mpg123_handle* Handle;
};
static_assert(sizeof(StateHeader) <= MpgLibStateBytes);

mpg123_handle* HandleOf(const void* state) {
    if (!state) {
        return nullptr;
    }
    StateHeader header;
    std::memcpy(&header, state, sizeof header);
    return header.Magic == kMagic ? header.Handle : nullptr;
}

void Store(void* state, mpg123_handle* handle) {
    StateHeader header{handle ? kMagic : 0, 0, handle};
    std::memcpy(state, &header, sizeof header);
}

// 16-bit output at every rate and in the stream's own channel count; never give up on junk
// between frames (a broadcast stream may carry damaged frames).
bool Configure(mpg123_handle* handle) {
    if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK ||
        mpg123_format_none(handle) != MPG123_OK) {
        return false;
    }
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
        if (mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
            MPG123_OK) {
            return false;
        }
    }
    return mpg123_open_feed(handle) == MPG123_OK;
}

}  // namespace

extern "C" {

MPGLIB_EXPORT int _InitMP3(void* state) {
    if (!state) {
        return 0;
    }
    std::memset(state, 0, MpgLibStateBytes);
    if (mpg123_init() != MPG123_OK) {
        return 0;
    }
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) {
        return 0;
    }
    if (!Configure(handle)) {
        mpg123_delete(handle);
        return 0;
    }
    Store(state, handle);
    return 1;
}

MPGLIB_EXPORT int _decodeMP3(void* state, const std::uint8_t* input, int inputBytes,
                             std::uint8_t* output, int outputCapacity, int* produced) {
    mpg123_handle* handle = HandleOf(state);
    if (produced) {
        *produced = 0;
    }
    if (!handle || !produced || inputBytes < 0 || (inputBytes > 0 && !input) ||
        outputCapacity < 0 || (outputCapacity > 0 && !output)) {
        return MpgLibError;
    }
    if (inputBytes > 0 &&
        mpg123_feed(handle, input, static_cast<size_t>(inputBytes)) != MPG123_OK) {
        return MpgLibError;
    }
    // Whole stereo samples only, so a mono or stereo sample is never split between two calls.
    const size_t capacity = static_cast<size_t>(outputCapacity) & ~size_t{3};
    size_t total = 0;
    bool failed = false;
    while (total < capacity) {
        size_t done = 0;
        const int result = mpg123_read(handle, output + total, capacity - total, &done);
        total += done;
        if (result == MPG123_NEW_FORMAT) {
            continue;
        }
        if (result == MPG123_OK && done > 0) {
            continue;
        }
        if (result != MPG123_OK && result != MPG123_NEED_MORE && result != MPG123_DONE) {
            failed = true;
        }
        break;
    }
    if (failed) {
        // Start over on the next input rather than stay stuck in the failed state.
        mpg123_close(handle);
        mpg123_open_feed(handle);
    }
    *produced = static_cast<int>(total);
    if (total > 0) {
        return MpgLibOk;
    }
    return failed ? MpgLibError : MpgLibNeedMore;
}

MPGLIB_EXPORT void _ExitMP3(void* state) {
    mpg123_handle* handle = HandleOf(state);
    if (!handle) {
        return;
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    Store(state, nullptr);
}

}  // extern "C"

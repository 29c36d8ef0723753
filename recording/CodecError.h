#pragma once

#include <stdexcept>

// A codec library that is missing, lacks an entry point or refuses its configuration. The
// message is the text the user is shown ("MPGLib.dll not loaded.", "Unable to load encoder
// DLL.", ...).
class CodecError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

#pragma once

#include <stdexcept>

// A refused write ("Failed to set data for '%s'") or a value of the wrong type
// ("Invalid data type for '%s'"); the message is the text the user is shown, with the value name.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

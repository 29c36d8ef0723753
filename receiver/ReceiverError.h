#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A receiver component that could not be created, or a component method that returned a failure
// status. Raised to the caller of the wrapper operation; the steps already done stay done.
class ReceiverError : public std::runtime_error {
public:
    explicit ReceiverError(const std::string& message, std::int32_t status = 0)
        : std::runtime_error(message), status_(status) {}

    // The component's status, or 0 when the component could not be created.
    std::int32_t Status() const { return status_; }

private:
    std::int32_t status_;
};

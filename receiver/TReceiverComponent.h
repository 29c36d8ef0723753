#pragma once

#include <memory>

#include "platform/LibraryHandle.h"
#include "receiver/IViadabRx.h"

// Owns one receiver component: `Release` on destruction, then the shared library it came from is
// closed. Main thread.
class TReceiverComponent {
public:
    // Takes `component` (may come from anywhere, e.g. a test double) and the library it came
    // from, closed after the release (none for a component of this program's own code).
    explicit TReceiverComponent(IViadabRx* component, LibraryHandle library = LibraryHandle());
    ~TReceiverComponent();

    TReceiverComponent(const TReceiverComponent&) = delete;
    TReceiverComponent& operator=(const TReceiverComponent&) = delete;

    IViadabRx& Rx() const { return *component_; }

    // The receiver software is installed: the default value of the interface key
    // (`IViadabRxInterfaceKey`) in the component hive is exactly "IViadabRx". A missing or
    // unreadable hive counts as not installed.
    static bool IsInstalled();

    // Creates the component from its registration in the component hive: the default value of
    // `CoViadabRxServerKey` names the shared library, whose `CreateViadabRx` makes the component.
    // Raises ReceiverError when it is not registered, cannot be loaded or creates nothing.
    static std::unique_ptr<TReceiverComponent> CreateRegistered();

private:
    IViadabRx* component_;
    LibraryHandle library_;
};

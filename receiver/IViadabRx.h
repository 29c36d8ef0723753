#pragma once

#include <cstdint>
#include <string>

// The receiver component's contract. The methods keep the component's interface order; every
// method returns a status (0 = success, anything else = failure, which the wrapper raises).
// Labels and dynamic labels travel as UTF-8 text (components convert from the broadcast's DAB
// character set).
// The component is a shared library registered in the component hive; it exports one C factory,
// `CreateViadabRx`, that returns a new component owned by the caller (release with `Release`).

using RxStatus = std::int32_t;
constexpr RxStatus RxOk = 0;
constexpr RxStatus RxFail = -2147467259;  // the generic failure status
// StartCapture / StartPlayback of an audio component whose coding the component cannot decode
// (DAB+ on a receiver that only passes MPEG Layer II on).
constexpr RxStatus RxNotImplemented = -2147467263;

// Identifier text of the interface, the key under which the component hive records it.
constexpr const char* IViadabRxInterfaceKey = "Interface\\{7C3A9E10-4B2D-4F6A-9C1E-2D8B5A7F0E31}";
constexpr const char* IViadabRxInterfaceName = "IViadabRx";
constexpr const char* CoViadabRxFactoryName = "CreateViadabRx";
// Registration in the component hive, as COM lays it out: the interface key's default value is
// the interface name (the "installed" check), and the class key's InprocServer32 default value is
// the path of the component's shared library.
constexpr const char* CoViadabRxServerKey =
    "CLSID\\{7C3A9E11-4B2D-4F6A-9C1E-2D8B5A7F0E31}\\InprocServer32";

// Outgoing events. `OnData` may arrive on any thread (the component's own data thread); the
// buffer is valid only during the call and holds one whole MPEG audio frame.
class IViadabRxEvents {
public:
    virtual RxStatus OnEvent(std::int32_t a, std::int32_t b, std::int32_t c) = 0;
    virtual RxStatus OnData(std::int32_t component, const std::uint8_t* buffer,
                            std::int32_t length) = 0;

protected:
    ~IViadabRxEvents() = default;
};

class IViadabRx {
public:
    virtual RxStatus Tune(double frequencyMHz, std::int32_t* ok) = 0;                     // 1
    virtual RxStatus GetServiceListReady(std::int32_t* ready) = 0;                        // 3
    virtual RxStatus GetErrorRatio(double* value) = 0;                                    // 4
    virtual RxStatus GetEnsembleId(std::int32_t* eid) = 0;                                // 5
    virtual RxStatus GetFirstService(std::int32_t* sid) = 0;                              // 6
    virtual RxStatus GetNextService(std::int32_t* sid) = 0;                               // 7
    virtual RxStatus GetPrimaryComponent(std::int32_t sid, std::int32_t* component) = 0;  // 8
    virtual RxStatus GetNextComponent(std::int32_t sid, std::int32_t* component) = 0;     // 9
    virtual RxStatus GetLabel(std::int32_t id, std::string* label) = 0;                   // 10
    virtual RxStatus GetAudioType(std::int32_t component, std::int32_t* value) = 0;       // 11
    virtual RxStatus StartCapture(std::int32_t component) = 0;                            // 12
    virtual RxStatus StopCapture(std::int32_t component) = 0;                             // 13
    virtual RxStatus StartPlayback(std::int32_t component) = 0;                           // 15
    virtual RxStatus StopPlayback(std::int32_t component) = 0;                            // 16
    virtual RxStatus GetProgrammeType(std::int32_t sid, std::int32_t* code) = 0;          // 18
    virtual RxStatus GetDataType(std::int32_t component, std::int32_t* code) = 0;         // 19
    virtual RxStatus GetDynamicLabel(std::int32_t component, std::string* text) = 0;      // 20

    // Connection point: at most one sink; `cookie` identifies the connection for `Unadvise`.
    virtual RxStatus Advise(IViadabRxEvents* sink, std::int32_t* cookie) = 0;
    virtual RxStatus Unadvise(std::int32_t cookie) = 0;

    // Ends the component: stops its threads (no event arrives after this returns) and frees it.
    virtual void Release() = 0;

protected:
    ~IViadabRx() = default;
};

extern "C" {
using CreateViadabRxFn = IViadabRx* (*)();
}

#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "receiver/IViadabRx.h"

// A receiver component double: a small air of ensembles, every call logged as "Method arg", and
// frames injected into the connected sink as the component's data thread would deliver them.
class FakeReceiver : public IViadabRx {
public:
    struct Component {
        std::int32_t handle = 0;
        std::string label;
        std::int32_t audio = 1;
        std::int32_t dataType = 0;
    };
    struct Service {
        std::int32_t sid = 0;
        std::string label;
        std::int32_t programmeType = 0;
        std::vector<Component> components;  // the first is the primary
    };
    struct Ensemble {
        std::int32_t eid = 0;
        std::string label;
        std::vector<Service> services;
    };

    std::map<double, Ensemble> air;
    std::set<double> refused;  // Tune answers "not tuned"
    bool ready = false;        // GetServiceListReady; Tune clears it
    double errorRatio = 0;
    std::map<std::int32_t, std::string> dynamicLabels;  // the component's own labels
    std::string failing;           // the method of this name answers a failure status
    RxStatus failStatus = RxFail;  // ... this one

    std::vector<std::string> calls;
    int released = 0;
    IViadabRxEvents* sink = nullptr;

    // Number of logged calls equal to `call` ("StartCapture 101") or, without argument, of that
    // method.
    int Count(const std::string& call) const;
    void ClearCalls() { calls.clear(); }
    void Deliver(std::int32_t component, const std::vector<std::uint8_t>& frame);

    RxStatus Tune(double frequencyMHz, std::int32_t* ok) override;
    RxStatus GetServiceListReady(std::int32_t* value) override;
    RxStatus GetErrorRatio(double* value) override;
    RxStatus GetEnsembleId(std::int32_t* eid) override;
    RxStatus GetFirstService(std::int32_t* sid) override;
    RxStatus GetNextService(std::int32_t* sid) override;
    RxStatus GetPrimaryComponent(std::int32_t sid, std::int32_t* component) override;
    RxStatus GetNextComponent(std::int32_t sid, std::int32_t* component) override;
    RxStatus GetLabel(std::int32_t id, std::string* label) override;
    RxStatus GetAudioType(std::int32_t component, std::int32_t* value) override;
    RxStatus StartCapture(std::int32_t component) override;
    RxStatus StopCapture(std::int32_t component) override;
    RxStatus StartPlayback(std::int32_t component) override;
    RxStatus StopPlayback(std::int32_t component) override;
    RxStatus GetProgrammeType(std::int32_t sid, std::int32_t* code) override;
    RxStatus GetDataType(std::int32_t component, std::int32_t* code) override;
    RxStatus GetDynamicLabel(std::int32_t component, std::string* text) override;
    RxStatus Advise(IViadabRxEvents* events, std::int32_t* cookie) override;
    RxStatus Unadvise(std::int32_t cookie) override;
    void Release() override;

private:
    RxStatus Log(const std::string& method, const std::string& argument = {});
    RxStatus Log(const std::string& method, std::int32_t argument);
    const Ensemble* Tuned() const;
    const Service* FindService(std::int32_t sid) const;
    const Component* FindComponent(std::int32_t handle) const;

    double tuned_ = 0;
};

inline constexpr double k12B = 225.648;  // MHz
inline constexpr double k11D = 222.064;

// The air most tests use: 225.648 MHz (12B) "Tunora Mux" with "Radio One" (SId C0DE, primary
// 101, further components 102 "One Extra" and 104 "One Sport") and "Data Link" (SId C1, data
// type 5, component 103); 222.064 MHz (11D) "Other Mux" with "Other A" (D001, 201) and
// "Other B" (D002, 202).
void FillDemoAir(FakeReceiver& fake);

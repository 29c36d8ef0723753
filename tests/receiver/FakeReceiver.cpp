#include "tests/receiver/FakeReceiver.h"

#include <QString>

int FakeReceiver::Count(const std::string& call) const {
    int n = 0;
    for (const std::string& c : calls) {
        n += c == call || c.rfind(call + " ", 0) == 0 ? 1 : 0;
    }
    return n;
}

void FakeReceiver::Deliver(std::int32_t component, const std::vector<std::uint8_t>& frame) {
    if (sink != nullptr) {
        sink->OnData(component, frame.data(), static_cast<std::int32_t>(frame.size()));
    }
}

RxStatus FakeReceiver::Log(const std::string& method, const std::string& argument) {
    calls.push_back(argument.empty() ? method : method + " " + argument);
    return method == failing ? failStatus : RxOk;
}

RxStatus FakeReceiver::Log(const std::string& method, std::int32_t argument) {
    return Log(method, std::to_string(argument));
}

const FakeReceiver::Ensemble* FakeReceiver::Tuned() const {
    const auto it = air.find(tuned_);
    return it == air.end() ? nullptr : &it->second;
}

const FakeReceiver::Service* FakeReceiver::FindService(std::int32_t sid) const {
    for (std::size_t i = 0; Tuned() != nullptr && i < Tuned()->services.size(); ++i) {
        if (Tuned()->services[i].sid == sid) {
            return &Tuned()->services[i];
        }
    }
    return nullptr;
}

const FakeReceiver::Component* FakeReceiver::FindComponent(std::int32_t handle) const {
    for (std::size_t i = 0; Tuned() != nullptr && i < Tuned()->services.size(); ++i) {
        for (const Component& c : Tuned()->services[i].components) {
            if (c.handle == handle) {
                return &c;
            }
        }
    }
    return nullptr;
}

RxStatus FakeReceiver::Tune(double frequencyMHz, std::int32_t* ok) {
    *ok = refused.count(frequencyMHz) == 0 ? 1 : 0;
    if (*ok != 0) {
        tuned_ = frequencyMHz;
        ready = false;
    }
    return Log("Tune", QString::number(frequencyMHz, 'g', 15).toStdString());
}

RxStatus FakeReceiver::GetServiceListReady(std::int32_t* value) {
    *value = ready ? 1 : 0;
    return Log("GetServiceListReady");
}

RxStatus FakeReceiver::GetErrorRatio(double* value) {
    *value = errorRatio;
    return Log("GetErrorRatio");
}

RxStatus FakeReceiver::GetEnsembleId(std::int32_t* eid) {
    *eid = Tuned() != nullptr ? Tuned()->eid : 0;
    return Log("GetEnsembleId");
}

RxStatus FakeReceiver::GetFirstService(std::int32_t* sid) {
    const Ensemble* e = Tuned();
    *sid = e != nullptr && !e->services.empty() ? e->services.front().sid : 0;
    return Log("GetFirstService");
}

RxStatus FakeReceiver::GetNextService(std::int32_t* sid) {
    std::int32_t next = 0;
    const Ensemble* e = Tuned();
    for (std::size_t i = 0; e != nullptr && i + 1 < e->services.size(); ++i) {
        next = e->services[i].sid == *sid ? e->services[i + 1].sid : next;
    }
    *sid = next;
    return Log("GetNextService");
}

RxStatus FakeReceiver::GetPrimaryComponent(std::int32_t sid, std::int32_t* component) {
    const Service* s = FindService(sid);
    *component = s != nullptr && !s->components.empty() ? s->components.front().handle : 0;
    return Log("GetPrimaryComponent", sid);
}

RxStatus FakeReceiver::GetNextComponent(std::int32_t sid, std::int32_t* component) {
    std::int32_t next = 0;
    const Service* s = FindService(sid);
    for (std::size_t i = 0; s != nullptr && i + 1 < s->components.size(); ++i) {
        next = s->components[i].handle == *component ? s->components[i + 1].handle : next;
    }
    *component = next;
    return Log("GetNextComponent", sid);
}

RxStatus FakeReceiver::GetLabel(std::int32_t id, std::string* label) {
    const Service* s = FindService(id);
    const Component* c = FindComponent(id);
    *label = c != nullptr                               ? c->label
             : s != nullptr                             ? s->label
             : Tuned() != nullptr && Tuned()->eid == id ? Tuned()->label
                                                        : std::string();
    return Log("GetLabel", id);
}

RxStatus FakeReceiver::GetAudioType(std::int32_t component, std::int32_t* value) {
    const Component* c = FindComponent(component);
    *value = c != nullptr ? c->audio : 0;
    return Log("GetAudioType", component);
}

RxStatus FakeReceiver::StartCapture(std::int32_t component) {
    return Log("StartCapture", component);
}

RxStatus FakeReceiver::StopCapture(std::int32_t component) {
    return Log("StopCapture", component);
}

RxStatus FakeReceiver::StartPlayback(std::int32_t component) {
    return Log("StartPlayback", component);
}

RxStatus FakeReceiver::StopPlayback(std::int32_t component) {
    return Log("StopPlayback", component);
}

RxStatus FakeReceiver::GetProgrammeType(std::int32_t sid, std::int32_t* code) {
    const Service* s = FindService(sid);
    *code = s != nullptr ? s->programmeType : 0;
    return Log("GetProgrammeType", sid);
}

RxStatus FakeReceiver::GetDataType(std::int32_t component, std::int32_t* code) {
    const Component* c = FindComponent(component);
    *code = c != nullptr ? c->dataType : 0;
    return Log("GetDataType", component);
}

RxStatus FakeReceiver::GetDynamicLabel(std::int32_t component, std::string* text) {
    const auto it = dynamicLabels.find(component);
    *text = it != dynamicLabels.end() ? it->second : std::string();
    return Log("GetDynamicLabel", component);
}

RxStatus FakeReceiver::Advise(IViadabRxEvents* events, std::int32_t* cookie) {
    sink = events;
    *cookie = 7;
    return Log("Advise");
}

RxStatus FakeReceiver::Unadvise(std::int32_t cookie) {
    sink = cookie == 7 ? nullptr : sink;
    return Log("Unadvise", cookie);
}

void FakeReceiver::Release() {
    ++released;
    calls.push_back("Release");
}

void FillDemoAir(FakeReceiver& fake) {
    fake.air[k12B] = {
        0x1001,
        "  Tunora Mux  ",
        {{0xC0DE,
          "Radio One       ",
          10,
          {{101, "Radio One", 1, 0}, {102, " One Extra ", 1, 0}, {104, "One Sport", 1, 0}}},
         {0xC1, "Data Link", 0, {{103, "Data Link", 0, 5}}}}};
    fake.air[k11D] = {0x2002,
                      "Other Mux",
                      {{0xD001, "Other A", 3, {{201, "Other A", 1, 0}}},
                       {0xD002, "Other B", 4, {{202, "Other B", 1, 0}}}}};
}

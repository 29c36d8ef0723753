#include "tests/receiver/FakeReceiver.h"

#include <QString>

int FakeReceiver::Count(const std::string& call) const {
    int n = 0;
    for (const std::string& c : calls) {
        if (c == call || c.rfind(call + " ", 0) == 0) {
            ++n;
        }
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
    return method == failing ? RxFail : RxOk;
}

const FakeReceiver::Ensemble* FakeReceiver::Tuned() const {
    const auto it = air.find(tuned_);
    return it == air.end() ? nullptr : &it->second;
}

const FakeReceiver::Service* FakeReceiver::FindService(std::int32_t sid) const {
    if (const Ensemble* e = Tuned()) {
        for (const Service& s : e->services) {
            if (s.sid == sid) {
                return &s;
            }
        }
    }
    return nullptr;
}

const FakeReceiver::Component* FakeReceiver::FindComponent(std::int32_t handle) const {
    if (const Ensemble* e = Tuned()) {
        for (const Service& s : e->services) {
            for (const Component& c : s.components) {
                if (c.handle == handle) {
                    return &c;
                }
            }
        }
    }
    return nullptr;
}

RxStatus FakeReceiver::Tune(double frequencyMHz, std::int32_t* ok) {
    const RxStatus status = Log("Tune", QString::number(frequencyMHz, 'g', 15).toStdString());
    if (refused.count(frequencyMHz) != 0) {
        *ok = 0;
    } else {
        tuned_ = frequencyMHz;
        ready = false;
        *ok = 1;
    }
    return status;
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
    const Ensemble* e = Tuned();
    *eid = e != nullptr ? e->eid : 0;
    return Log("GetEnsembleId");
}

RxStatus FakeReceiver::GetFirstService(std::int32_t* sid) {
    const Ensemble* e = Tuned();
    *sid = e != nullptr && !e->services.empty() ? e->services.front().sid : 0;
    return Log("GetFirstService");
}

RxStatus FakeReceiver::GetNextService(std::int32_t* sid) {
    std::int32_t next = 0;
    if (const Ensemble* e = Tuned()) {
        for (std::size_t i = 0; i + 1 < e->services.size(); ++i) {
            if (e->services[i].sid == *sid) {
                next = e->services[i + 1].sid;
            }
        }
    }
    *sid = next;
    return Log("GetNextService");
}

RxStatus FakeReceiver::GetPrimaryComponent(std::int32_t sid, std::int32_t* component) {
    const Service* s = FindService(sid);
    *component = s != nullptr && !s->components.empty() ? s->components.front().handle : 0;
    return Log("GetPrimaryComponent", std::to_string(sid));
}

RxStatus FakeReceiver::GetNextComponent(std::int32_t sid, std::int32_t* component) {
    std::int32_t next = 0;
    if (const Service* s = FindService(sid)) {
        for (std::size_t i = 0; i + 1 < s->components.size(); ++i) {
            if (s->components[i].handle == *component) {
                next = s->components[i + 1].handle;
            }
        }
    }
    *component = next;
    return Log("GetNextComponent", std::to_string(sid));
}

RxStatus FakeReceiver::GetLabel(std::int32_t id, std::string* label) {
    label->clear();
    if (const Ensemble* e = Tuned()) {
        if (e->eid == id) {
            *label = e->label;
        }
    }
    if (const Service* s = FindService(id)) {
        *label = s->label;
    }
    if (const Component* c = FindComponent(id)) {
        *label = c->label;
    }
    return Log("GetLabel", std::to_string(id));
}

RxStatus FakeReceiver::GetAudioType(std::int32_t component, std::int32_t* value) {
    const Component* c = FindComponent(component);
    *value = c != nullptr ? c->audio : 0;
    return Log("GetAudioType", std::to_string(component));
}

RxStatus FakeReceiver::StartCapture(std::int32_t component) {
    return Log("StartCapture", std::to_string(component));
}

RxStatus FakeReceiver::StopCapture(std::int32_t component) {
    return Log("StopCapture", std::to_string(component));
}

RxStatus FakeReceiver::StartPlayback(std::int32_t component) {
    return Log("StartPlayback", std::to_string(component));
}

RxStatus FakeReceiver::StopPlayback(std::int32_t component) {
    return Log("StopPlayback", std::to_string(component));
}

RxStatus FakeReceiver::GetProgrammeType(std::int32_t sid, std::int32_t* code) {
    const Service* s = FindService(sid);
    *code = s != nullptr ? s->programmeType : 0;
    return Log("GetProgrammeType", std::to_string(sid));
}

RxStatus FakeReceiver::GetDataType(std::int32_t component, std::int32_t* code) {
    const Component* c = FindComponent(component);
    *code = c != nullptr ? c->dataType : 0;
    return Log("GetDataType", std::to_string(component));
}

RxStatus FakeReceiver::GetDynamicLabel(std::int32_t component, std::string* text) {
    const auto it = dynamicLabels.find(component);
    *text = it != dynamicLabels.end() ? it->second : std::string();
    return Log("GetDynamicLabel", std::to_string(component));
}

RxStatus FakeReceiver::Advise(IViadabRxEvents* events, std::int32_t* cookie) {
    sink = events;
    *cookie = 7;
    return Log("Advise");
}

RxStatus FakeReceiver::Unadvise(std::int32_t cookie) {
    if (cookie == 7) {
        sink = nullptr;
    }
    return Log("Unadvise", std::to_string(cookie));
}

void FakeReceiver::Release() {
    ++released;
    calls.push_back("Release");
}

void FillDemoAir(FakeReceiver& fake) {
    fake.air[225.648] = {
        0x1001,
        "  Tunora Mux  ",
        {{0xC0DE,
          "Radio One       ",
          10,
          {{101, "Radio One", 1, 0}, {102, " One Extra ", 1, 0}, {104, "One Sport", 1, 0}}},
         {0xC1, "Data Link", 0, {{103, "Data Link", 0, 5}}}}};
    fake.air[222.064] = {0x2002,
                         "Other Mux",
                         {{0xD001, "Other A", 3, {{201, "Other A", 1, 0}}},
                          {0xD002, "Other B", 4, {{202, "Other B", 1, 0}}}}};
}

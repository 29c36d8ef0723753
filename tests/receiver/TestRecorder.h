#pragma once

#include <cstdint>
#include <vector>

#include "recording/TRecorder.h"
#include "services/TServiceTablesWrapper.h"

// A recorder that keeps what it is given; kind and PAD wish chosen by the test.
class TestRecorder : public TRecorder {
public:
    TestRecorder(std::int32_t serviceId, std::uint32_t sid, const QString& label, int kind = 0,
                 bool wantsPad = false)
        : TRecorder(serviceId, sid, label), kind_(kind), wantsPad_(wantsPad) {}
    // A recorder of a service in the tables, as its owners make them.
    TestRecorder(std::int32_t serviceId, const TServiceTablesWrapper& tables, int kind,
                 bool wantsPad = false)
        : TRecorder(serviceId, tables), kind_(kind), wantsPad_(wantsPad) {}

    int RecorderKind() const override { return kind_; }
    bool WantsPAD() const override { return wantsPad_; }
    void WriteBlock(const std::uint8_t* buffer, std::int32_t count) override {
        blocks.emplace_back(buffer, buffer + count);
    }

    std::vector<std::vector<std::uint8_t>> blocks;

private:
    int kind_;
    bool wantsPad_;
};

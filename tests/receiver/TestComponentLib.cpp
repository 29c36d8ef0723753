// A minimal receiver component library for the loading test: its only ensemble label tells the
// test that the registered library's factory made the component.
#include "receiver/IViadabRx.h"

namespace {

class StubReceiver final : public IViadabRx {
public:
    RxStatus Tune(double, std::int32_t* ok) override { return *ok = 1, RxOk; }
    RxStatus GetServiceListReady(std::int32_t* v) override { return *v = 1, RxOk; }
    RxStatus GetErrorRatio(double* v) override { return *v = 0, RxOk; }
    RxStatus GetEnsembleId(std::int32_t* v) override { return *v = 1, RxOk; }
    RxStatus GetFirstService(std::int32_t* v) override { return *v = 0, RxOk; }
    RxStatus GetNextService(std::int32_t* v) override { return *v = 0, RxOk; }
    RxStatus GetPrimaryComponent(std::int32_t, std::int32_t* v) override { return *v = 0, RxOk; }
    RxStatus GetNextComponent(std::int32_t, std::int32_t* v) override { return *v = 0, RxOk; }
    RxStatus GetLabel(std::int32_t, std::string* label) override {
        *label = "Stub Ensemble ";
        return RxOk;
    }
    RxStatus GetAudioType(std::int32_t, std::int32_t* v) override { return *v = 0, RxOk; }
    RxStatus StartCapture(std::int32_t) override { return RxOk; }
    RxStatus StopCapture(std::int32_t) override { return RxOk; }
    RxStatus StartPlayback(std::int32_t) override { return RxOk; }
    RxStatus StopPlayback(std::int32_t) override { return RxOk; }
    RxStatus GetProgrammeType(std::int32_t, std::int32_t* v) override { return *v = 0, RxOk; }
    RxStatus GetDataType(std::int32_t, std::int32_t* v) override { return *v = 0, RxOk; }
    RxStatus GetDynamicLabel(std::int32_t, std::string* t) override { return t->clear(), RxOk; }
    RxStatus Advise(IViadabRxEvents*, std::int32_t* cookie) override { return *cookie = 1, RxOk; }
    RxStatus Unadvise(std::int32_t) override { return RxOk; }
    void Release() override { delete this; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) IViadabRx* CreateViadabRx() {
    return new StubReceiver;
}

// Prints the parameter table the way a host reads it: through IMediaParamInfo only.
#include <cstdio>

#include "params/MediaParamStore.h"
#include "tools/common/ParamTablePrinter.h"

namespace {

// A stand-in for the filter object that owns the store's faces.
class Owner : public IUnknown {
  public:
    Owner() : store(this, &result) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return store.QueryFace(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT result = E_FAIL;
    MediaParamStore store;
};

}  // namespace

int main() {
    Owner owner;
    if (FAILED(owner.result)) {
        std::fprintf(stderr, "rf-paraminfo: the parameter store could not be created\n");
        return 1;
    }
    IMediaParamInfo* info = nullptr;
    if (FAILED(owner.QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)))) {
        std::fprintf(stderr, "rf-paraminfo: no IMediaParamInfo\n");
        return 1;
    }
    PrintParamTable(info);
    info->Release();
    return 0;
}

// Prints the parameter table the way a host reads it: through IMediaParamInfo only.
#include <cstdio>

#include "params/MediaParamStore.h"
#include "platform/NullOwner.h"
#include "tools/common/ParamTablePrinter.h"

namespace {}  // namespace

int main() {
    NullOwner owner;
    HRESULT result = E_FAIL;
    MediaParamStore store(&owner, &result);
    if (FAILED(result)) {
        std::fprintf(stderr, "rf-paraminfo: the parameter store could not be created\n");
        return 1;
    }
    IMediaParamInfo* info = nullptr;
    if (FAILED(store.QueryFace(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)))) {
        std::fprintf(stderr, "rf-paraminfo: no IMediaParamInfo\n");
        return 1;
    }
    PrintParamTable(info);
    info->Release();
    return 0;
}

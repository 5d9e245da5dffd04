#include "tests/framework/NegatingFilter.h"

#include <new>

const CLSID kClsidNegatingFilter = {
    0x5C2F0E71, 0x3B8A, 0x4D16, {0x9A, 0x41, 0x7E, 0x22, 0x0D, 0x6B, 0x91, 0x3C}};

IUnknown* CreateNegatingFilter(IUnknown* outer, HRESULT* result) {
    auto* filter = new (std::nothrow) NegatingFilter(outer, result);
    return filter != nullptr ? filter->NonDelegatingUnknown() : nullptr;
}

// The filter as a COM object: its interface map, identity, aggregation and reference counts.
#include <vector>

#include "FilterDll.h"
#include "RecordingOuter.h"

namespace {

using FilterComTest = FilterDllTest;

const IID* const kFaces[] = {&IID_IFilterSettings,       &IID_IMediaParams,
                             &IID_IMediaParamInfo,       &IID_IMediaParamsSetUICallback,
                             &IID_ISpecifyPropertyPages, &IID_IFilterPresets,
                             &IID_IDirectProcess,        &IID_IBaseFilter,
                             &IID_IMediaFilter,          &IID_IPersist,
                             &IID_IAMovieSetup,          &IID_IUnknown};

TEST_F(FilterComTest, EveryFaceAnswersEveryOtherWithOneIdentity) {
    IUnknown* filter = nullptr;
    ASSERT_EQ(dll.Create(IID_IUnknown, &filter), S_OK);
    const ULONG base = RefCount(filter);
    for (const IID* a : kFaces) {
        IUnknown* face = nullptr;
        ASSERT_EQ(filter->QueryInterface(*a, reinterpret_cast<void**>(&face)), S_OK);
        for (const IID* b : kFaces) {
            IUnknown* other = nullptr;
            ASSERT_EQ(face->QueryInterface(*b, reinterpret_cast<void**>(&other)), S_OK);
            IUnknown* identity = nullptr;
            ASSERT_EQ(other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)),
                      S_OK);
            EXPECT_EQ(identity, filter);
            identity->Release();
            other->Release();
        }
        face->Release();
        EXPECT_EQ(RefCount(filter), base) << "a reference leaked";
    }
    void* none = filter;
    EXPECT_EQ(filter->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(filter->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
    EXPECT_EQ(filter->Release(), 0u);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(FilterComTest, TheParameterInterfacesAreTwoFacesOfOneStore) {
    IMediaParams* params = nullptr;
    ASSERT_EQ(dll.Create(IID_IMediaParams, &params), S_OK);
    IMediaParamInfo* info = nullptr;
    ASSERT_EQ(params->QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)), S_OK);
    EXPECT_NE(static_cast<void*>(params), static_cast<void*>(info));
    ASSERT_EQ(params->SetParam(0, 1234.0f), S_OK);
    IFilterSettings* settings = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings)), S_OK);
    LONG hz = 0;
    ASSERT_EQ(settings->GetScaledFrequency(&hz), S_OK);
    EXPECT_EQ(hz, 1234);
    settings->Release();
    info->Release();
    EXPECT_EQ(params->Release(), 0u);
}

TEST_F(FilterComTest, AnAggregatedFilterForwardsToItsOuterObject) {
    RecordingOuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(dll.Create(IID_IUnknown, &inner, &outer), S_OK);
    outer.inner = inner;
    IFilterSettings* settings = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings)),
              S_OK);
    EXPECT_EQ(outer.refs, 2) << "the face's reference is the outer's";
    IMediaParams* params = nullptr;
    ASSERT_EQ(settings->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
    EXPECT_GE(outer.queries, 1);
    IUnknown* identity = nullptr;
    ASSERT_EQ(params->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    params->Release();
    settings->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(inner->Release(), 0u);

    IFilterSettings* refused = nullptr;
    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.Factory(&factory), S_OK);
    EXPECT_EQ(
        factory->CreateInstance(&outer, IID_IFilterSettings, reinterpret_cast<void**>(&refused)),
        E_NOINTERFACE);
    factory->Release();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

}  // namespace

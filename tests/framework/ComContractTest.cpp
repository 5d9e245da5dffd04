// The filter's COM identity: interface map, aggregation, reference counts, class factory.
#include "framework/ClassFactory.h"
#include "tests/framework/TestSupport.h"

namespace {

// An outer object that records what the inner filter delegates to it.
class RecordingOuter : public IUnknown {
  public:
    IUnknown* inner = nullptr;
    LONG refs = 1;
    int queries = 0;
    IID lastIid = GUID_NULL;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        ++queries;
        lastIid = iid;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

using ComContract = ComTest;

const IID* const kFilterFaces[] = {&IID_IBaseFilter, &IID_IMediaFilter, &IID_IPersist,
                                   &IID_IAMovieSetup};

TEST_F(ComContract, EveryFaceAnswersEveryOtherAndCountsReturnToStart) {
    NegatingFilter* filter = NewFilter();
    IUnknown* identity = filter->NonDelegatingUnknown();
    EXPECT_EQ(1, ModuleObjectCount());
    for (const IID* from : kFilterFaces) {
        void* face = nullptr;
        ASSERT_EQ(S_OK, identity->QueryInterface(*from, &face));
        auto* unknown = static_cast<IUnknown*>(face);
        for (const IID* to : kFilterFaces) {
            void* other = nullptr;
            ASSERT_EQ(S_OK, unknown->QueryInterface(*to, &other));
            static_cast<IUnknown*>(other)->Release();
        }
        IUnknown* same = nullptr;
        ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&same)));
        EXPECT_EQ(identity, same) << "every face reports one identity";
        same->Release();
        EXPECT_EQ(2u, RefCount(identity));
        unknown->Release();
        EXPECT_EQ(1u, RefCount(identity));
    }
    identity->Release();
    EXPECT_EQ(0, ModuleObjectCount());
}

TEST_F(ComContract, UnknownInterfacesGiveNoInterfaceAndNull) {
    NegatingFilter* filter = NewFilter();
    void* out = reinterpret_cast<void*>(1);
    // The seeking faces belong to the output pin, never to the filter object.
    for (const IID* iid : {&IID_IMediaSeeking, &IID_IMediaPosition, &IID_IPin, &IID_IMemInputPin,
                           &IID_IClassFactory}) {
        out = reinterpret_cast<void*>(1);
        EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(*iid, &out));
        EXPECT_EQ(nullptr, out);
    }
    EXPECT_EQ(E_POINTER, filter->QueryInterface(IID_IBaseFilter, nullptr));
    EXPECT_EQ(1u, RefCount(filter));
    filter->Release();
}

TEST_F(ComContract, AggregatedFacesDelegateToTheOuterObject) {
    RecordingOuter outer;
    HRESULT hr = E_FAIL;
    auto* filter = new NegatingFilter(&outer, &hr);
    ASSERT_EQ(S_OK, hr);
    outer.inner = filter->NonDelegatingUnknown();

    IBaseFilter* base = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&base)));
    EXPECT_EQ(2, outer.refs) << "a face's reference is the outer's";
    EXPECT_EQ(1u, RefCount(outer.inner));

    IUnknown* viaFace = nullptr;
    ASSERT_EQ(S_OK, base->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaFace)));
    EXPECT_EQ(&outer, viaFace);
    EXPECT_TRUE(IsEqualIID(IID_IUnknown, outer.lastIid));
    viaFace->Release();

    IPersist* persist = nullptr;
    int before = outer.queries;
    ASSERT_EQ(S_OK, base->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
    EXPECT_EQ(before + 1, outer.queries);
    CLSID clsid;
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(kClsidNegatingFilter, clsid));
    persist->Release();

    // The pins count on the outer too.
    IPin* pin = nullptr;
    ASSERT_EQ(S_OK, base->FindPin(L"Input", &pin));
    EXPECT_EQ(3, outer.refs);
    pin->Release();
    base->Release();
    EXPECT_EQ(1, outer.refs);

    IUnknown* innerSelf = nullptr;
    ASSERT_EQ(S_OK,
              outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerSelf)));
    EXPECT_EQ(outer.inner, innerSelf) << "the inner unknown does not delegate";
    innerSelf->Release();
    EXPECT_EQ(1, outer.refs);
    outer.inner->Release();
    EXPECT_EQ(0, ModuleObjectCount());
}

TEST_F(ComContract, FilterInformationAndGraphMembership) {
    NegatingFilter* filter = NewFilter();
    FILTER_INFO info;
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
    EXPECT_STREQ(L"", info.achName);

    IFilterGraph* graph = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IFilterGraph, reinterpret_cast<void**>(&graph)));
    ULONG graphRefs = RefCount(graph);
    ASSERT_EQ(S_OK, filter->JoinFilterGraph(graph, L"Negate"));
    EXPECT_EQ(graphRefs, RefCount(graph)) << "joining must not reference the graph";
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_EQ(graph, info.pGraph);
    EXPECT_STREQ(L"Negate", info.achName);
    EXPECT_EQ(graphRefs + 1, RefCount(graph));
    info.pGraph->Release();
    ASSERT_EQ(S_OK, filter->JoinFilterGraph(nullptr, nullptr));
    graph->Release();

    IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
    EXPECT_EQ(S_OK, filter->SetSyncSource(nullptr));
    EXPECT_EQ(S_OK, filter->GetSyncSource(&clock));
    EXPECT_EQ(nullptr, clock);
    LPWSTR vendor = nullptr;
    EXPECT_EQ(E_NOTIMPL, filter->QueryVendorInfo(&vendor));
    EXPECT_EQ(S_FALSE, filter->Register()) << "no setup data: nothing to register";
    EXPECT_EQ(S_FALSE, filter->Unregister());
    EXPECT_EQ(1u, RefCount(filter));
    filter->Release();
}

TEST_F(ComContract, StatesChangeWithoutConnectionsAndRunSkipsPause) {
    NegatingFilter* filter = NewFilter();
    FILTER_STATE state;
    ASSERT_EQ(S_OK, filter->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(S_OK, filter->Run(0));
    ASSERT_EQ(S_OK, filter->GetState(INFINITE, &state));
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(S_OK, filter->Pause());
    EXPECT_EQ(State_Paused, filter->State());
    EXPECT_EQ(S_OK, filter->Stop());
    EXPECT_EQ(State_Stopped, filter->State());
    EXPECT_EQ(0, filter->starts.load()) << "streaming starts only with both pins connected";
    EXPECT_EQ(E_POINTER, filter->GetState(0, nullptr));
    filter->Release();
}

const FactoryEntry kTable[] = {
    {L"Negating Filter", &kClsidNegatingFilter, CreateNegatingFilter, nullptr}};

TEST_F(ComContract, FactoryCreatesFromItsTableAndRefusesBadAggregation) {
    IClassFactory* factory = nullptr;
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              GetFactory(kTable, 1, CLSID_FilterGraph, IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
    // The interface is checked first: a factory hands out only itself.
    EXPECT_EQ(E_NOINTERFACE, GetFactory(kTable, 1, CLSID_FilterGraph, IID_IBaseFilter, &none));
    ASSERT_EQ(S_OK, GetFactory(kTable, 1, kClsidNegatingFilter, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(1, ModuleObjectCount());
    EXPECT_EQ(1u, RefCount(factory));

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(1u, RefCount(filter));
    EXPECT_EQ(2, ModuleObjectCount());
    filter->Release();

    RecordingOuter outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);
    IUnknown* inner = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(1u, RefCount(inner));
    EXPECT_EQ(1, outer.refs) << "creation takes no reference on the outer";
    inner->Release();
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(1, ModuleLockCount());
    factory->Release();
    EXPECT_FALSE(ModuleCanUnload()) << "a server lock keeps the module loaded";
    EXPECT_EQ(S_OK, GetFactory(kTable, 1, kClsidNegatingFilter, IID_IUnknown,
                               reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_TRUE(ModuleCanUnload());
}

}  // namespace

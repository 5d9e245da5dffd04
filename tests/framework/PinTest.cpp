// Pins, their enumerators, and a connection between two framework filters without a graph.
#include <chrono>
#include <future>
#include <thread>

#include "tests/framework/TestSupport.h"

namespace {

using Pins = ComTest;

IPin* Find(IBaseFilter* filter, const wchar_t* id) {
    IPin* pin = nullptr;
    EXPECT_EQ(S_OK, filter->FindPin(id, &pin));
    return pin;
}

TEST_F(Pins, NamesDirectionsAndIdentity) {
    NegatingFilter* filter = NewFilter();
    IPin* none = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(L"Sideways", &none));
    EXPECT_EQ(nullptr, none);
    for (auto [id, direction] : {std::pair{L"Input", PINDIR_INPUT}, {L"Output", PINDIR_OUTPUT}}) {
        IPin* pin = Find(filter, id);
        ASSERT_NE(nullptr, pin);
        EXPECT_EQ(2u, RefCount(filter)) << "a pin's reference is the filter's";
        PIN_INFO info;
        ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
        EXPECT_EQ(static_cast<IBaseFilter*>(filter), info.pFilter);
        EXPECT_EQ(direction, info.dir);
        EXPECT_STREQ(id, info.achName);
        info.pFilter->Release();
        LPWSTR queried = nullptr;
        ASSERT_EQ(S_OK, pin->QueryId(&queried));
        EXPECT_STREQ(id, queried);
        CoTaskMemFree(queried);

        IUnknown* self = nullptr;
        ASSERT_EQ(S_OK, pin->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self)));
        EXPECT_EQ(static_cast<IUnknown*>(pin), self) << "a pin is its own identity";
        self->Release();
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(E_NOINTERFACE, pin->QueryInterface(IID_IBaseFilter, &out));
        EXPECT_EQ(nullptr, out);

        IPin* peer = reinterpret_cast<IPin*>(1);
        EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectedTo(&peer));
        EXPECT_EQ(nullptr, peer);
        AM_MEDIA_TYPE type;
        EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectionMediaType(&type));
        EXPECT_EQ(S_FALSE, pin->Disconnect());
        EXPECT_EQ(E_NOTIMPL, pin->QueryInternalConnections(nullptr, nullptr));
        pin->Release();
    }
    IPin* input = Find(filter, L"Input");
    IPin* output = Find(filter, L"Output");
    void* face = nullptr;
    EXPECT_EQ(S_OK, input->QueryInterface(IID_IMemInputPin, &face));
    static_cast<IUnknown*>(face)->Release();
    EXPECT_EQ(E_NOINTERFACE, output->QueryInterface(IID_IMemInputPin, &face));
    for (const IID* iid : {&IID_IMediaSeeking, &IID_IMediaPosition}) {
        ASSERT_EQ(S_OK, output->QueryInterface(*iid, &face));
        IPin* back = nullptr;
        ASSERT_EQ(S_OK, static_cast<IUnknown*>(face)->QueryInterface(
                            IID_IPin, reinterpret_cast<void**>(&back)));
        EXPECT_EQ(output, back);
        back->Release();
        // Nothing upstream to seek yet.
        LONGLONG duration = 0;
        if (iid == &IID_IMediaSeeking) {
            EXPECT_EQ(E_NOTIMPL, static_cast<IMediaSeeking*>(face)->GetDuration(&duration));
        }
        static_cast<IUnknown*>(face)->Release();
    }
    input->Release();
    output->Release();
    EXPECT_EQ(1u, RefCount(filter));
    filter->Release();
}

TEST_F(Pins, PinEnumeratorEdgeCases) {
    NegatingFilter* filter = NewFilter();
    IEnumPins* pins = nullptr;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins));
    EXPECT_EQ(2, ModuleObjectCount()) << "the enumerator is a module object";
    IPin* got[3] = {};
    ASSERT_EQ(S_OK, pins->Next(1, got, nullptr));
    got[0]->Release();
    ULONG fetched = 9;
    EXPECT_EQ(S_FALSE, pins->Next(3, got, &fetched));
    EXPECT_EQ(1u, fetched);
    got[0]->Release();
    EXPECT_EQ(S_FALSE, pins->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_OK, pins->Reset());
    EXPECT_EQ(S_OK, pins->Skip(1));
    IEnumPins* clone = nullptr;
    ASSERT_EQ(S_OK, pins->Clone(&clone));
    ASSERT_EQ(S_OK, clone->Next(1, got, nullptr));
    PIN_DIRECTION direction;
    got[0]->QueryDirection(&direction);
    EXPECT_EQ(PINDIR_OUTPUT, direction) << "a clone keeps the position";
    got[0]->Release();
    EXPECT_EQ(S_FALSE, pins->Skip(2));
    clone->Release();
    pins->Release();
    EXPECT_EQ(1u, RefCount(filter));
    filter->Release();
}

// Two filters joined output to input, as a graph would, but driven by the test.
class Chain : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        upstream = NewFilter();
        downstream = NewFilter();
        upOut = Find(upstream, L"Output");
        downIn = Find(downstream, L"Input");
        downOut = Find(downstream, L"Output");
    }
    void TearDown() override {
        upOut->Disconnect();
        downIn->Disconnect();
        for (IUnknown* p : {static_cast<IUnknown*>(upOut), static_cast<IUnknown*>(downIn),
                            static_cast<IUnknown*>(downOut)})
            p->Release();
        EXPECT_EQ(1u, RefCount(upstream));
        EXPECT_EQ(1u, RefCount(downstream));
        upstream->Release();
        downstream->Release();
        ComTest::TearDown();
    }
    NegatingFilter* upstream = nullptr;
    NegatingFilter* downstream = nullptr;
    IPin* upOut = nullptr;
    IPin* downIn = nullptr;
    IPin* downOut = nullptr;
    PcmType stereo{2, 44100};
};

TEST_F(Chain, ConnectionNeedsAnAcceptableTypeAndRecordsIt) {
    PcmType eightBit(2, 44100, 8);
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, upOut->Connect(downIn, nullptr))
        << "neither side has a type to offer";
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, upOut->Connect(downIn, &eightBit.type));
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, upOut->Connect(downOut, &stereo.type));
    ASSERT_EQ(S_OK, upOut->Connect(downIn, &stereo.type));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, upOut->Connect(downIn, &stereo.type));
    EXPECT_EQ(1, downstream->inputTypesSet.load());
    EXPECT_EQ(1, upstream->outputTypesSet.load());

    IPin* peer = nullptr;
    ASSERT_EQ(S_OK, downIn->ConnectedTo(&peer));
    EXPECT_EQ(upOut, peer);
    peer->Release();
    AM_MEDIA_TYPE type;
    ASSERT_EQ(S_OK, downIn->ConnectionMediaType(&type));
    EXPECT_TRUE(MediaTypesEqual(stereo.type, type));
    MediaTypeClear(&type);

    // The downstream filter's output now offers, and accepts, exactly the input's type.
    EXPECT_EQ(S_OK, downOut->QueryAccept(&stereo.type));
    EXPECT_EQ(S_FALSE, downOut->QueryAccept(&eightBit.type));
    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(S_OK, downOut->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* offered = nullptr;
    ASSERT_EQ(S_OK, types->Next(1, &offered, nullptr));
    EXPECT_TRUE(MediaTypesEqual(stereo.type, *offered));
    MediaTypeDelete(offered);
    ULONG fetched = 7;
    AM_MEDIA_TYPE* more[2] = {};
    EXPECT_EQ(S_FALSE, types->Next(2, more, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_OK, types->Reset());
    EXPECT_EQ(S_OK, types->Skip(1));
    EXPECT_EQ(S_FALSE, types->Skip(1));
    IEnumMediaTypes* clone = nullptr;
    ASSERT_EQ(S_OK, types->Clone(&clone));
    ASSERT_EQ(S_OK, clone->Reset());
    ASSERT_EQ(S_OK, clone->Next(1, &offered, &fetched));
    EXPECT_EQ(1u, fetched);
    MediaTypeDelete(offered);
    clone->Release();
    types->Release();

    IEnumMediaTypes* inputTypes = nullptr;
    ASSERT_EQ(S_OK, downIn->EnumMediaTypes(&inputTypes));
    EXPECT_EQ(S_FALSE, inputTypes->Next(1, &offered, nullptr));
    inputTypes->Release();
}

TEST_F(Chain, WithoutUpstreamAllocatorTheOutputSuppliesOneSizedFromTheInput) {
    IMemInputPin* transport = nullptr;
    ASSERT_EQ(S_OK, downIn->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&transport)));
    IMemAllocator* allocator = reinterpret_cast<IMemAllocator*>(1);
    EXPECT_EQ(VFW_E_NO_ALLOCATOR, transport->GetAllocator(&allocator))
        << "exactly this code, or upstream abandons the connection";
    EXPECT_EQ(nullptr, allocator);

    ASSERT_EQ(S_OK, upOut->Connect(downIn, &stereo.type));
    IMemAllocator* shared = upstream->OutputPinRef().Allocator();
    ASSERT_NE(nullptr, shared);
    EXPECT_EQ(shared, downstream->InputPinRef().Allocator());
    ALLOCATOR_PROPERTIES props;
    ASSERT_EQ(S_OK, shared->GetProperties(&props));
    EXPECT_EQ(1, props.cBuffers);
    EXPECT_GE(props.cbBuffer, 1);
    EXPECT_EQ(E_FAIL, transport->NotifyAllocator(shared, TRUE))
        << "buffers that are written in place cannot be read-only";
    transport->Release();
}

TEST_F(Chain, ReceiveFollowsStateAndFlushing) {
    ASSERT_EQ(S_OK, upOut->Connect(downIn, &stereo.type));
    IMemInputPin* transport = nullptr;
    ASSERT_EQ(S_OK, downIn->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&transport)));
    IMemAllocator* allocator = upstream->OutputPinRef().Allocator();
    ALLOCATOR_PROPERTIES want = {1, 8, 1, 0}, got = {};
    ASSERT_EQ(S_OK, allocator->SetProperties(&want, &got));
    ASSERT_EQ(S_OK, allocator->Commit());
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    int16_t values[4] = {1, -2, 300, -32767};
    memcpy(data, values, sizeof(values));
    sample->SetActualDataLength(sizeof(values));

    EXPECT_EQ(VFW_E_WRONG_STATE, transport->Receive(sample));
    EXPECT_EQ(0, downstream->transforms.load());
    ASSERT_EQ(S_OK, downstream->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, downIn->Disconnect());
    // Refused untouched for want of a downstream pin: in place it has nowhere to go.
    EXPECT_EQ(VFW_E_NOT_CONNECTED, transport->Receive(sample));
    EXPECT_EQ(0, downstream->transforms.load());
    EXPECT_EQ(0, memcmp(data, values, sizeof(values)));

    ASSERT_EQ(S_OK, downstream->Stop());
    NegatingFilter* sink = NewFilter();
    IPin* sinkIn = Find(sink, L"Input");
    ASSERT_EQ(S_OK, downOut->Connect(sinkIn, nullptr));
    ASSERT_EQ(S_OK, downstream->Pause());
    downstream->transformResult = S_FALSE;
    EXPECT_EQ(S_OK, transport->Receive(sample)) << "a dropped sample is no error";
    downstream->transformResult = E_UNEXPECTED;
    EXPECT_EQ(E_UNEXPECTED, transport->Receive(sample));

    downIn->BeginFlush();
    EXPECT_EQ(S_FALSE, transport->Receive(sample));
    EXPECT_EQ(S_FALSE, downIn->EndOfStream());
    downIn->EndFlush();
    EXPECT_EQ(2, downstream->transforms.load());
    long processed = 5;
    EXPECT_EQ(E_UNEXPECTED, transport->ReceiveMultiple(&sample, 1, &processed));
    EXPECT_EQ(0, processed);
    ASSERT_EQ(S_OK, downstream->Stop());
    EXPECT_EQ(VFW_E_WRONG_STATE, downIn->EndOfStream());
    downOut->Disconnect();
    sinkIn->Disconnect();
    sinkIn->Release();
    sink->Release();

    sample->Release();
    allocator->Decommit();
    transport->Release();
}

}  // namespace

// A downstream filter may ask our output pin for seeking from inside the end-of-stream we pass
// on, while Stop holds the filter lock and waits for our receive lock. That must not wait.
TEST_F(Chain, SeekingThroughTheOutputPinNeedsNoFilterLock) {
    ASSERT_EQ(S_OK, downIn->ReceiveConnection(upOut, &stereo.type));
    IMediaSeeking* seeking = nullptr;
    ASSERT_EQ(S_OK, downOut->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)));
    std::promise<void> held, release;
    std::future<void> releasing = release.get_future();
    std::thread holder([&] {
        LockHold hold(downstream->FilterLock());
        held.set_value();
        releasing.wait_for(std::chrono::seconds(10));
    });
    held.get_future().wait();
    const auto before = std::chrono::steady_clock::now();
    LONGLONG stop = 0;
    seeking->GetStopPosition(&stop);  // the answer is upstream's; only the wait matters
    const auto waited = std::chrono::steady_clock::now() - before;
    release.set_value();
    holder.join();
    EXPECT_LT(waited, std::chrono::seconds(5)) << "the seeking call waited for the filter lock";
    seeking->Release();
}

// The settings stream through the DLL's IPersistStream: round trips, the older layout, and
// streams that refuse, fail or come up short.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "FilterDll.h"
#include "params/SettingsRecord.h"

namespace {

using Bytes = std::vector<BYTE>;
using Values = std::vector<float>;

// A record as this (little-endian) machine lays it out in memory.
Bytes Record(DWORD size, const GUID& tag, const Values& values) {
    Bytes bytes(20 + 4 * values.size());
    std::memcpy(bytes.data(), &size, 4);
    std::memcpy(bytes.data() + 4, &tag, 16);
    std::memcpy(bytes.data() + 20, values.data(), 4 * values.size());
    return bytes;
}

IStream* MemoryStream(const Bytes& bytes) {
    IStream* stream = nullptr;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ULONG put = 0;
    EXPECT_EQ(stream->Write(bytes.data(), ULONG(bytes.size()), &put), S_OK);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return stream;
}

Bytes Contents(IStream* stream) {
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    Bytes bytes(64);
    ULONG got = 0;
    stream->Read(bytes.data(), ULONG(bytes.size()), &got);
    bytes.resize(got);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return bytes;
}

// In memory; the faultAt-th Read or Write answers faultCode, or, when that is S_OK, moves only
// half the bytes asked for.
class FaultyStream : public IStream {
  public:
    explicit FaultyStream(Bytes contents = {}) : data(std::move(contents)) {}

    STDMETHODIMP Read(void* into, ULONG size, ULONG* got) override {
        ULONG n = std::min(size, ULONG(data.size() - pos));
        if (++calls == faultAt) {
            if (FAILED(faultCode)) return faultCode;
            n /= 2;
        }
        std::memcpy(into, data.data() + pos, n);
        pos += n;
        if (got) *got = n;
        return S_OK;
    }
    STDMETHODIMP Write(const void* from, ULONG size, ULONG* put) override {
        if (onWrite) onWrite();
        if (++calls == faultAt) {
            if (FAILED(faultCode)) return faultCode;
            size /= 2;
        }
        data.insert(data.end(), static_cast<const BYTE*>(from),
                    static_cast<const BYTE*>(from) + size);
        if (put) *put = size;
        return S_OK;
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) ||
                       IsEqualIID(iid, IID_IStream)
                   ? this
                   : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

    Bytes data;
    int faultAt = 0;
    HRESULT faultCode = S_OK;
    std::function<void()> onWrite;

  private:
    size_t pos = 0;
    int calls = 0;
};

// A filter with a message-only window registered for its notices.
struct Filter {
    explicit Filter(FilterDll& dll) {
        EXPECT_EQ(dll.Create(IID_IPersistStream, &persist), S_OK);
        persist->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
        window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
        EXPECT_EQ(settings->RegisterNotifyWindow(window, 42), S_OK);
    }
    ~Filter() {
        settings->Release();
        EXPECT_EQ(persist->Release(), 0u);
        DestroyWindow(window);
    }
    Values Get() {
        Values v(6);
        EXPECT_EQ(settings->GetAllParams(v.data()), S_OK);
        return v;
    }
    void Set(const Values& v) { ASSERT_EQ(settings->SetAllParams(v.data()), S_OK); }
    // Leaves the filter clean, as after a host saved its project.
    void SaveClean() {
        FaultyStream scratch;
        ASSERT_EQ(persist->Save(&scratch, TRUE), S_OK);
    }
    std::vector<WORD> Notices() {
        std::vector<WORD> codes;
        MSG msg;
        while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
            EXPECT_EQ(LOWORD(msg.wParam), 42);
            codes.push_back(HIWORD(msg.wParam));
        }
        return codes;
    }

    IPersistStream* persist = nullptr;
    IFilterSettings* settings = nullptr;
    HWND window = nullptr;
};

using PersistTest = FilterDllTest;
const std::vector<WORD> kReplaced = {100}, kNone = {};

TEST_F(PersistTest, SaveThenLoadIntoANewFilterRestoresTheSettingsWithBypassOff) {
    EXPECT_TRUE(IsEqualGUID(kSettingsTag, IID_IFilterSettings));
    Filter saved(dll), loaded(dll);
    saved.Set({1234.5f, 37.5f, 2, 1, 1, 62.5f});
    IStream* stream = MemoryStream({});
    ASSERT_EQ(saved.persist->Save(stream, TRUE), S_OK);
    const Bytes bytes = Contents(stream);
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(bytes[0], 44);
    EXPECT_EQ(std::memcmp(bytes.data() + 4, &IID_IFilterSettings, 16), 0);

    ASSERT_EQ(loaded.persist->Load(stream), S_OK);
    EXPECT_EQ(loaded.Get(), (Values{1234.5f, 37.5f, 2, 1, 0, 62.5f}));
    EXPECT_EQ(loaded.Notices(), kReplaced);
    stream->Release();
}

TEST_F(PersistTest, TheOlderLayoutGivesFourValuesWithBypassOffAndFullWet) {
    Filter f(dll);
    f.Set({300, 10, 0, 0, 1, 30});
    IStream* stream = MemoryStream(Record(40, kLegacySettingsTag, {800, 20, 1, 1, 1}));
    ASSERT_EQ(f.persist->Load(stream), S_OK);
    EXPECT_EQ(f.Get(), (Values{800, 20, 1, 1, 0, 100}));
    stream->Release();
}

TEST_F(PersistTest, StoredValuesAreBroughtIntoRange) {
    Filter f(dll);
    for (const float hz : {NAN, 25000.0f}) {
        IStream* stream = MemoryStream(Record(44, kSettingsTag, {hz, 150, 2, 1, 0, -3}));
        ASSERT_EQ(f.persist->Load(stream), S_OK);
        EXPECT_EQ(f.Get(), (Values{std::isnan(hz) ? 500.0f : 20000.0f, 100, 2, 1, 0, 0}));
        stream->Release();
    }
}

// None of these may touch the settings or the dirty flag.
TEST_F(PersistTest, RefusedShortOrFailedLoadsChangeNothing) {
    const Values before = {700, 5, 1, 0, 0, 90};
    const Bytes good = Record(44, kSettingsTag, {100, 50, 2, 1, 0, 50});
    const GUID unknown = {0x12345678, 0, 0, {}};
    struct Case {
        const char* what;
        Bytes bytes;
        int faultAt;
        HRESULT fault, expect;
        const std::vector<WORD>& notices;
    } cases[] = {
        {"current tag, size 40", Record(40, kSettingsTag, {1, 2, 3, 4, 5}), 0, S_OK, E_FAIL, kNone},
        {"older tag, size 44", Record(44, kLegacySettingsTag, {1, 2, 3, 4, 5, 6}), 0, S_OK, E_FAIL,
         kNone},
        {"unknown tag", Record(44, unknown, {1, 2, 3, 4, 5, 6}), 0, S_OK, E_FAIL, kNone},
        {"stream ends in the header", Bytes(good.begin(), good.begin() + 12), 0, S_OK, E_FAIL,
         kNone},
        {"stream ends in the values", Bytes(good.begin(), good.end() - 1), 0, S_OK, E_FAIL,
         kReplaced},
        {"short header read", good, 1, S_OK, E_FAIL, kNone},
        {"short value read", good, 2, S_OK, E_FAIL, kReplaced},
        {"header read fails", good, 1, STG_E_READFAULT, STG_E_READFAULT, kNone},
        {"value read fails", good, 2, STG_E_READFAULT, STG_E_READFAULT, kReplaced},
    };
    for (const Case& c : cases) {
        Filter f(dll);
        f.Set(before);
        f.SaveClean();
        FaultyStream stream(c.bytes);
        stream.faultAt = c.faultAt;
        stream.faultCode = c.fault;
        EXPECT_EQ(f.persist->Load(&stream), c.expect) << c.what;
        EXPECT_EQ(f.Get(), before) << c.what;
        EXPECT_EQ(f.persist->IsDirty(), S_FALSE) << c.what;
        EXPECT_EQ(f.Notices(), c.notices) << c.what;
    }
}

TEST_F(PersistTest, AFailedOrShortSaveReportsItAndLeavesTheDirtyFlag) {
    struct Case {
        int faultAt;
        HRESULT fault, expect;
    } cases[] = {{1, STG_E_WRITEFAULT, STG_E_WRITEFAULT},
                 {2, STG_E_WRITEFAULT, STG_E_WRITEFAULT},
                 {1, S_OK, STG_E_MEDIUMFULL},
                 {2, S_OK, STG_E_MEDIUMFULL}};
    for (const Case& c : cases) {
        Filter f(dll);
        for (const HRESULT dirty : {S_OK, S_FALSE}) {
            if (dirty == S_FALSE) f.SaveClean();
            FaultyStream stream;
            stream.faultAt = c.faultAt;
            stream.faultCode = c.fault;
            EXPECT_EQ(f.persist->Save(&stream, dirty == S_OK), c.expect) << c.faultAt;
            EXPECT_EQ(f.persist->IsDirty(), dirty) << c.faultAt << " " << c.fault;
        }
    }
}

TEST_F(PersistTest, TheDirtyFlagFollowsSavesLoadsAndChangesMadeWhileSaving) {
    Filter f(dll);
    EXPECT_EQ(f.persist->IsDirty(), S_OK) << "a new filter";
    IStream* stream = MemoryStream({});
    ASSERT_EQ(f.persist->Save(stream, TRUE), S_OK);
    EXPECT_EQ(f.persist->IsDirty(), S_FALSE);
    ASSERT_EQ(f.persist->Save(stream, FALSE), S_OK);
    EXPECT_EQ(f.persist->IsDirty(), S_OK);
    f.SaveClean();
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(f.persist->Load(stream), S_OK);
    EXPECT_EQ(f.persist->IsDirty(), S_OK);
    stream->Release();

    FaultyStream racing;
    racing.onWrite = [&] { f.settings->PutScaledResonance(500); };
    ASSERT_EQ(f.persist->Save(&racing, TRUE), S_OK);
    EXPECT_EQ(f.persist->IsDirty(), S_OK) << "the change is not yet in any saved stream";
}

TEST_F(PersistTest, IdentityAndSizeAnswersAndNullPointers) {
    Filter f(dll);
    ULARGE_INTEGER size{};
    ASSERT_EQ(f.persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 44u);
    IPersist* persist = nullptr;
    ASSERT_EQ(f.persist->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    CLSID clsid{};
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_ResonantFilter));
    persist->Release();
    EXPECT_EQ(f.persist->GetClassID(nullptr), E_POINTER);
    EXPECT_EQ(f.persist->GetSizeMax(nullptr), E_POINTER);
    EXPECT_EQ(f.persist->Load(nullptr), E_POINTER);
    EXPECT_EQ(f.persist->Save(nullptr, TRUE), E_POINTER);
    EXPECT_EQ(f.Notices(), kNone);
}

}  // namespace

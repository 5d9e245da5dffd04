// Self-registration of the DLL through the system's regsvr32 and through the filter's own
// IAMovieSetup, read back from the registry, the filter mapper and the DMO registry. Other test
// programs in the same prefix create the filter by class, so the DLL is left registered at the
// end. Each tree's program sees its own registry view, so the two trees cover both.
#include <dmo.h>

#include "filter/FilterSetup.h"
#include "framework/ClassFactory.h"
#include "framework/Registration.h"
#include "tests/filter/FilterDll.h"
#include "tests/module/RegistryProbe.h"

namespace {

const wchar_t kFilterName[] = L"Veltrin Resonant Filter";
const wchar_t kPageName[] = L"Veltrin Resonant Filter Prop Page";
const wchar_t kDmoName[] = L"Veltrin Resonant Filter DMO";

class LeaveRegistered : public ::testing::Environment {
  public:
    void TearDown() override { EXPECT_EQ(0, RunRegsvr32(L"/s", DllPath())); }
};
const auto* const kLeaveRegistered = ::testing::AddGlobalTestEnvironment(new LeaveRegistered);

// Each case starts from a registered DLL, whatever the one before it left.
class Registration : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(0, RunRegsvr32(L"/s", DllPath()));
    }

    static void ExpectClassKey(REFCLSID clsid, const wchar_t* name, const std::wstring& dll) {
        const std::wstring key = ClassKey(clsid);
        EXPECT_EQ(name, ReadString(key, nullptr)) << "display name";
        const std::wstring server = key + L"\\InprocServer32";
        EXPECT_TRUE(SamePath(dll, ReadString(server, nullptr)))
            << "InprocServer32 names the DLL registered";
        EXPECT_EQ(L"Both", ReadString(server, L"ThreadingModel"));
    }

    // The mapper's own record of the filter: version 2 data whose header holds merit and pins.
    static void ExpectMapperEntry() {
        const std::wstring key = MapperKey(CLSID_ResonantFilter);
        EXPECT_EQ(kFilterName, ReadString(key, L"FriendlyName"));
        EXPECT_TRUE(SamePath(GuidText(CLSID_ResonantFilter), ReadString(key, L"CLSID")));
        const std::vector<DWORD> data = ReadDwords(key, L"FilterData");
        ASSERT_GE(data.size(), 3u) << "no FilterData";
        EXPECT_EQ(2u, data[0]) << "FilterData version";
        EXPECT_EQ(0x00200000u, data[1]) << "merit";
        EXPECT_EQ(2u, data[2]) << "pin count";
    }

    // The name DMOEnum lists for the DMO in the audio-effect category; empty when not listed.
    static std::wstring ListedDmoName() {
        IEnumDMO* dmos = nullptr;
        EXPECT_EQ(S_OK, DMOEnum(DMOCATEGORY_AUDIO_EFFECT, 0, 0, nullptr, 0, nullptr, &dmos));
        std::wstring listed;
        CLSID clsid = {};
        WCHAR* name = nullptr;
        DWORD fetched = 0;
        while (dmos != nullptr && dmos->Next(1, &clsid, &name, &fetched) == S_OK && fetched == 1) {
            if (IsEqualCLSID(clsid, CLSID_ResonantFilterDmo)) listed = name ? name : L"(no name)";
            CoTaskMemFree(name);
            name = nullptr;
        }
        if (dmos != nullptr) dmos->Release();
        return listed;
    }
};

TEST_F(Registration, RegsvrWritesBothClassKeysAndTheMapperEntry) {
    ExpectClassKey(CLSID_ResonantFilter, kFilterName, DllPath());
    ExpectClassKey(CLSID_ResonantFilterPage, kPageName, DllPath());
    ExpectMapperEntry();
}

// Hosts find the DMO by category and create it by class; in place, it gives what it takes.
TEST_F(Registration, RegsvrEntersTheDmoInTheAudioEffectCategoryWithItsTypes) {
    EXPECT_EQ(kDmoName, ListedDmoName());
    const DMO_PARTIAL_MEDIATYPE expected[] = {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM},
                                              {MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT}};
    DMO_PARTIAL_MEDIATYPE in[4] = {}, out[4] = {};
    ULONG inCount = 0, outCount = 0;
    ASSERT_EQ(S_OK, DMOGetTypes(CLSID_ResonantFilterDmo, 4, &inCount, in, 4, &outCount, out));
    ASSERT_EQ(2u, inCount);
    ASSERT_EQ(2u, outCount);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(IsEqualGUID(expected[i].type, in[i].type) &&
                    IsEqualGUID(expected[i].subtype, in[i].subtype))
            << "input type " << i;
        EXPECT_TRUE(IsEqualGUID(expected[i].type, out[i].type) &&
                    IsEqualGUID(expected[i].subtype, out[i].subtype))
            << "output type " << i;
    }
    // Where unregistering is checked to leave nothing.
    EXPECT_TRUE(KeyExists(DmoKey(CLSID_ResonantFilterDmo)));
    EXPECT_TRUE(KeyExists(DmoCategoryEntryKey(DMOCATEGORY_AUDIO_EFFECT, CLSID_ResonantFilterDmo)));
    ExpectClassKey(CLSID_ResonantFilterDmo, kDmoName, DllPath());
}

TEST_F(Registration, RegsvrUnregisterLeavesNothingAndMayRepeat) {
    ASSERT_EQ(0, RunRegsvr32(L"/u /s", DllPath()));
    EXPECT_FALSE(KeyExists(ClassKey(CLSID_ResonantFilter)));
    EXPECT_FALSE(KeyExists(ClassKey(CLSID_ResonantFilterPage)));
    EXPECT_FALSE(KeyExists(ClassKey(CLSID_ResonantFilterDmo)));
    EXPECT_FALSE(KeyExists(MapperKey(CLSID_ResonantFilter)));
    EXPECT_FALSE(KeyExists(DmoKey(CLSID_ResonantFilterDmo)));
    EXPECT_FALSE(KeyExists(DmoCategoryEntryKey(DMOCATEGORY_AUDIO_EFFECT, CLSID_ResonantFilterDmo)));
    EXPECT_EQ(L"", ListedDmoName());
    EXPECT_EQ(0, RunRegsvr32(L"/u /s", DllPath())) << "nothing left to remove is not a failure";
}

TEST_F(Registration, MovieSetupUnregisterThenRegisterRoundTripsTheMapperEntry) {
    IAMovieSetup* setup = nullptr;
    ASSERT_EQ(S_OK, dll.Create(IID_IAMovieSetup, &setup));
    // This thread is in the multithreaded apartment: the filter must use COM as it finds it.
    ASSERT_EQ(S_OK, setup->Unregister());
    EXPECT_FALSE(KeyExists(MapperKey(CLSID_ResonantFilter)));
    EXPECT_TRUE(KeyExists(ClassKey(CLSID_ResonantFilter))) << "the class key is the module's";
    EXPECT_EQ(S_OK, setup->Unregister()) << "an entry already gone";
    ASSERT_EQ(S_OK, setup->Register());
    ExpectMapperEntry();
    EXPECT_EQ(S_OK, setup->Register()) << "registering over an entry replaces it";
    ExpectMapperEntry();
    setup->Release();
}

// Without IFilterMapper2 the older interface gets the filter, its pins and their types; its
// registry layout also shows the pins' names. (Wine 8 stores no usable pin direction there.)
TEST_F(Registration, TheOlderMapperInterfaceTakesTheSameSetupData) {
    IFilterMapper* old = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IFilterMapper, reinterpret_cast<void**>(&old)));
    FilterMapper mapper(old);
    old->Release();
    ASSERT_EQ(S_OK, mapper.Unregister(kResonantFilterSetup));
    ASSERT_EQ(S_OK, mapper.Register(kResonantFilterSetup));
    const std::wstring pins = ClassKey(CLSID_ResonantFilter) + L"\\Pins\\";
    EXPECT_TRUE(KeyExists(pins + L"Input"));
    EXPECT_TRUE(KeyExists(pins + L"Output"));
    EXPECT_TRUE(KeyExists(pins + L"Input\\Types\\" + GuidText(MEDIATYPE_Audio)));
    EXPECT_TRUE(KeyExists(pins + L"Output\\Types\\" + GuidText(MEDIATYPE_Audio)));
    EXPECT_EQ(0x00200000u, ReadDword(ClassKey(CLSID_ResonantFilter), L"Merit"));
    EXPECT_EQ(S_OK, mapper.Unregister(kResonantFilterSetup));
    EXPECT_EQ(S_OK, mapper.Unregister(kResonantFilterSetup)) << "an entry already gone";
    EXPECT_FALSE(KeyExists(pins + L"Input"));
}

// A folder name outside the ANSI code page must reach InprocServer32 unchanged.
TEST_F(Registration, AWidePathIsRegisteredIntact) {
    WCHAR temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    const std::wstring folder = std::wstring(temp) + L"rf-\x03A9\x0416-reg";
    const std::wstring copy = folder + L"\\ResonantFilter.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(DllPath().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(0, RunRegsvr32(L"/s", copy));
    ExpectClassKey(CLSID_ResonantFilter, kFilterName, copy);
    EXPECT_EQ(0, RunRegsvr32(L"/u /s", copy));
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(FactoryTable, ARowWithoutCreateFunctionServesNoFactory) {
    const FactoryEntry table[] = {{kPageName, &CLSID_ResonantFilterPage, nullptr, nullptr}};
    void* out = &out;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              GetFactory(table, 1, CLSID_ResonantFilterPage, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
}

}  // namespace

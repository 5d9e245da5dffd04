// The page's help: where the files are looked for, and what reaches the help engines.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "page/HelpFiles.h"
#include "page/PropertyPage.h"

namespace {

constexpr wchar_t kSharedKey[] = L"Software\\Aldermoor\\Shared Information";

// Sets "HelpFolder" for one test (null: no value) and removes it afterwards.
struct HelpFolderValue {
    explicit HelpFolderValue(const wchar_t* folder) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"HelpFolder");
        if (folder != nullptr)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"HelpFolder", REG_SZ, folder,
                            DWORD((lstrlenW(folder) + 1) * sizeof(wchar_t)));
    }
    ~HelpFolderValue() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"HelpFolder"); }
};

// A fresh folder, removed with the files and folders made in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"rf-help-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) {
        made_.push_back(path_ + L"\\" + name);
        CloseHandle(CreateFileW(made_.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                nullptr));
        return made_.back();
    }
    std::wstring Folder(const std::wstring& name) {
        made_.push_back(path_ + L"\\" + name);
        CreateDirectoryW(made_.back().c_str(), nullptr);
        return made_.back();
    }

  private:
    std::wstring path_;
    std::vector<std::wstring> made_;
};

// This test program stands in for the module: its own path and name.
std::wstring OwnStem() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring own(path, length);
    return own.substr(0, own.rfind(L'.'));
}
std::wstring OwnName() {
    const std::wstring stem = OwnStem();
    return stem.substr(stem.find_last_of(L'\\') + 1);
}

TEST(HelpPaths, LieBesideTheModuleUnlessAHelpFolderIsSet) {
    const std::wstring stem = OwnStem();
    for (const wchar_t* folder : {static_cast<const wchar_t*>(nullptr), L""}) {
        HelpFolderValue value(folder);
        const HelpPaths paths = ResolveHelpPaths(nullptr, L"enu");
        EXPECT_EQ(paths.contextHelp, stem + L".hlp") << (folder ? "empty" : "missing");
        EXPECT_EQ(paths.htmlHelp, stem + L".chm") << (folder ? "empty" : "missing");
    }
    ScratchFolder scratch;
    HelpFolderValue value(scratch.Path().c_str());  // no trailing backslash
    const HelpPaths paths = ResolveHelpPaths(nullptr, L"enu");
    EXPECT_EQ(paths.contextHelp, scratch.Path() + L"\\" + OwnName() + L".hlp");
    EXPECT_EQ(paths.htmlHelp, scratch.Path() + L"\\" + OwnName() + L".chm");
}

TEST(HelpPaths, PreferTheLanguagesOwnFileThenOneOfItsFamily) {
    ScratchFolder scratch;
    HelpFolderValue value(scratch.Path().c_str());
    const std::wstring base = scratch.Path() + L"\\" + OwnName();
    scratch.Folder(OwnName() + L"de-folder.chm");
    EXPECT_EQ(ResolveHelpPaths(nullptr, L"deu").htmlHelp, base + L".chm") << "folders are no files";

    const std::wstring family = scratch.File(OwnName() + L"de-custom.chm");
    HelpPaths paths = ResolveHelpPaths(nullptr, L"deu");
    EXPECT_EQ(paths.htmlHelp, family) << "the abbreviation less its last letter, then anything";
    EXPECT_EQ(paths.contextHelp, base + L".hlp") << "each file is localised on its own";

    const std::wstring own = scratch.File(OwnName() + L"deu.chm");
    EXPECT_EQ(ResolveHelpPaths(nullptr, L"deu").htmlHelp, own);
    EXPECT_EQ(ResolveHelpPaths(nullptr, L"fra").htmlHelp, base + L".chm") << "no French file";
}

TEST(HelpPaths, KeepTheUnlocalisedFilesForEnglish) {
    ScratchFolder scratch;
    HelpFolderValue value(scratch.Path().c_str());
    scratch.File(OwnName() + L"enu.chm");
    scratch.File(OwnName() + L"en-gb.chm");
    const std::wstring base = scratch.Path() + L"\\" + OwnName() + L".chm";
    EXPECT_EQ(ResolveHelpPaths(nullptr, L"enu").htmlHelp, base);
    EXPECT_EQ(ResolveHelpPaths(nullptr, L"ENU").htmlHelp, base);
}

TEST(HelpTopics, FollowTheControlsOfEachGroup) {
    const struct {
        int topic;
        std::vector<int> controls;
    } groups[] = {
        {1000, {1000, 3003, 1002}},        // Frequency
        {1010, {1001, 1003, 3004}},        // Resonance
        {1050, {3000, 1010, 3005}},        // Wet/Dry
        {1020, {1007, 1009, 1008, 3006}},  // Filter type
        {1030, {1005, 1006, 3007}},        // Filter order
    };
    for (const auto& group : groups)
        for (const int control : group.controls)
            EXPECT_EQ(HelpTopicForControl(control), group.topic) << control;
    for (const int other : {0, -1, 1004, 41000, 1011, 3008})
        EXPECT_EQ(HelpTopicForControl(other), 0) << other;
}

// ---- The engines, replaced by a recorder ----

struct EngineCall {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR data;
};
std::vector<EngineCall> winHelpCalls, htmlHelpCalls;
BOOL winHelpAnswer = TRUE;
HWND htmlHelpAnswer = nullptr;

BOOL WINAPI RecordWinHelp(HWND window, LPCSTR file, UINT command, ULONG_PTR data) {
    winHelpCalls.push_back({window, file, command, data});
    return winHelpAnswer;
}
HWND WINAPI RecordHtmlHelp(HWND caller, LPCSTR file, UINT command, DWORD_PTR data) {
    htmlHelpCalls.push_back({caller, file, command, data});
    return htmlHelpAnswer;
}

class HelpCalls : public ::testing::Test {
  protected:
    void SetUp() override {
        winHelpCalls.clear();
        htmlHelpCalls.clear();
        winHelpAnswer = TRUE;
        htmlHelpAnswer = nullptr;
        previous_ = SetHelpEngines({RecordWinHelp, RecordHtmlHelp});
        page_ = CreateWindowW(L"STATIC", L"page", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                              nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(page_);
        SetHelpEngines(previous_);
    }
    HWND page_ = nullptr;
    ScratchFolder scratch_;

  private:
    HelpEngines previous_{};
};

TEST_F(HelpCalls, APopupShowsTheControlsTopicFromTheContextHelp) {
    const std::wstring hlp = scratch_.Path() + L"\\Filter.hlp";
    EXPECT_FALSE(ShowContextPopup(page_, hlp, 1003)) << "no such file yet";
    EXPECT_TRUE(winHelpCalls.empty());
    CloseHandle(CreateFileW(hlp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(ShowContextPopup(page_, hlp, 1003));
    winHelpAnswer = FALSE;
    EXPECT_FALSE(ShowContextPopup(page_, hlp, 3007)) << "the engine's failure is passed on";
    ASSERT_EQ(winHelpCalls.size(), 2u);
    EXPECT_EQ(winHelpCalls[0].window, page_);
    EXPECT_EQ(winHelpCalls[0].command, UINT(HELP_CONTEXTPOPUP));
    EXPECT_EQ(winHelpCalls[0].data, 1010u);
    EXPECT_EQ(winHelpCalls[1].data, 1030u);
    EXPECT_EQ(winHelpCalls[0].file, AnsiHelpPath(hlp));

    winHelpCalls.clear();
    for (const int none : {0, -1, 1004})
        EXPECT_FALSE(ShowContextPopup(page_, hlp, none)) << none;
    EXPECT_FALSE(ShowContextPopup(page_, L"", 1000)) << "no file";
    EXPECT_TRUE(winHelpCalls.empty());
}

TEST_F(HelpCalls, ClosingTheContextHelpAsksTheEngineToQuitOnlyWhenTheFileExists) {
    CloseContextHelp(page_, scratch_.Path() + L"\\Missing.hlp");
    CloseContextHelp(page_, L"");
    EXPECT_TRUE(winHelpCalls.empty());

    const std::wstring hlp = scratch_.File(L"Filter.hlp");
    CloseContextHelp(page_, hlp);
    ASSERT_EQ(winHelpCalls.size(), 1u);
    EXPECT_EQ(winHelpCalls[0].window, page_);
    EXPECT_EQ(winHelpCalls[0].file, AnsiHelpPath(hlp));
    EXPECT_EQ(winHelpCalls[0].command, UINT(HELP_QUIT));
    EXPECT_EQ(winHelpCalls[0].data, 0u);
}

TEST_F(HelpCalls, TheManualOpensAtItsOverviewForTheDesktopAndComesToTheTop) {
    const HWND help = CreateWindowW(L"STATIC", L"help", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                                    100, nullptr, nullptr, nullptr, nullptr);
    const HWND other = CreateWindowW(L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     100, 100, nullptr, nullptr, nullptr, nullptr);
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    const std::wstring chm = scratch_.Path() + L"\\Filter.chm";

    EXPECT_FALSE(ShowHtmlHelp(chm)) << "no window resulted";
    htmlHelpAnswer = help;
    EXPECT_TRUE(ShowHtmlHelp(chm));
    ASSERT_EQ(htmlHelpCalls.size(), 2u);
    EXPECT_EQ(htmlHelpCalls[1].window, GetDesktopWindow());
    EXPECT_EQ(htmlHelpCalls[1].file, AnsiHelpPath(chm));
    EXPECT_EQ(htmlHelpCalls[1].command, 0x000Fu) << "HH_HELP_CONTEXT";
    EXPECT_EQ(htmlHelpCalls[1].data, 10u);
    bool helpAboveOther = false;
    for (HWND w = GetTopWindow(nullptr); w != nullptr && w != other; w = GetWindow(w, GW_HWNDNEXT))
        helpAboveOther |= w == help;
    EXPECT_TRUE(helpAboveOther);

    EXPECT_FALSE(ShowHtmlHelp(L"")) << "an empty path opens nothing";
    EXPECT_EQ(htmlHelpCalls.size(), 2u);
    DestroyWindow(other);
    DestroyWindow(help);
}

TEST_F(HelpCalls, APathTheCodePageCannotSpellStillNamesTheFile) {
    // A CJK folder name: outside the Western code pages, which would turn it into '?'.
    scratch_.Folder(L"\x4E2D\x6587");
    const std::wstring chm = scratch_.File(L"\x4E2D\x6587\\Filter.chm");
    htmlHelpAnswer = page_;
    EXPECT_TRUE(ShowHtmlHelp(chm));
    ASSERT_EQ(htmlHelpCalls.size(), 1u);
    const DWORD attributes = GetFileAttributesA(htmlHelpCalls[0].file.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << htmlHelpCalls[0].file;
}

// Two pages, each given its page information on a thread of its own while "HelpFolder" names
// another folder: each page's help keeps to the files it found.
TEST_F(HelpCalls, EachPageKeepsTheHelpFilesItFound) {
    const std::wstring folders[2] = {scratch_.Folder(L"first"), scratch_.Folder(L"second")};
    IPropertyPage* pages[2] = {};
    for (int k = 0; k < 2; ++k) {
        HelpFolderValue value(folders[k].c_str());
        HRESULT created = E_FAIL;
        IUnknown* inner = ResonantFilterPage::Create(nullptr, &created);
        ASSERT_EQ(created, S_OK);
        inner->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&pages[k]));
        inner->Release();
        std::thread([page = pages[k]] {
            PROPPAGEINFO info{};
            ASSERT_EQ(page->GetPageInfo(&info), S_OK);
            CoTaskMemFree(info.pszTitle);
            CoTaskMemFree(info.pszHelpFile);
        }).join();
    }
    htmlHelpAnswer = page_;
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(pages[k]->Help(nullptr), S_OK);
        ASSERT_EQ(htmlHelpCalls.size(), size_t(k + 1));
        EXPECT_EQ(htmlHelpCalls[k].file.rfind(AnsiHelpPath(folders[k] + L"\\"), 0), 0u)
            << "page " << k << " opened " << htmlHelpCalls[k].file;
        EXPECT_EQ(pages[k]->Release(), 0u);
    }
}

TEST(HtmlHelpLookup, FindsTheEngineAndReleasesALibraryWithoutIt) {
    EXPECT_NE(FindHtmlHelp("HHCTRL.OCX"), nullptr);
    const char* without = "msacm32.dll";  // a system library with no HTML help in it
    if (GetModuleHandleA(without) != nullptr) GTEST_SKIP() << without << " already loaded";
    EXPECT_EQ(FindHtmlHelp(without), nullptr);
    EXPECT_EQ(GetModuleHandleA(without), nullptr) << "left loaded";
    EXPECT_EQ(FindHtmlHelp("no-such-library.dll"), nullptr);
}

}  // namespace

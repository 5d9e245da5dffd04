#include "page/PresetMenu.h"

#include <string>

#include "include/ResonantFilterApi.h"
#include "resources/ResourceIds.h"

namespace {

constexpr LONG kMaxPresets = ID_PRESET_LAST - ID_PRESET_FIRST + 1;  // 500
constexpr int kNameChars = 260;
constexpr size_t kMaxLabelBytes = 259;

IFilterPresets* QueryPresets(IUnknown* object) {
    IFilterPresets* presets = nullptr;
    if (object == nullptr ||
        FAILED(object->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets))))
        return nullptr;
    return presets;
}

// A preset name as an ANSI menu label: cut to 259 bytes without splitting a double-byte
// character, with every "&" doubled so it shows rather than marking a mnemonic.
std::string MenuLabel(const WCHAR* name) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string ansi(size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, name, -1, &ansi[0], bytes, nullptr, nullptr);
    ansi.resize(size_t(bytes - 1));

    std::string label;
    for (size_t i = 0; i < ansi.size() && i < kMaxLabelBytes;) {
        const size_t width = IsDBCSLeadByte(BYTE(ansi[i])) && i + 1 < ansi.size() ? 2 : 1;
        if (i + width > kMaxLabelBytes) break;
        label.append(ansi, i, width);
        if (width == 1 && ansi[i] == '&') label += '&';
        i += width;
    }
    return label;
}

std::wstring LoadLabel(HINSTANCE resources, UINT id, const wchar_t* fallback) {
    wchar_t text[128];
    return LoadStringW(resources, id, text, 128) > 0 ? std::wstring(text) : fallback;
}

}  // namespace

POINT PageMenuPoint(HWND page, int x, int y) {
    // Shift+F10 and the menu key send (-1, -1). Other negative points are real ones, on a
    // monitor left of or above the primary.
    if (x != -1 || y != -1) return POINT{x, y};
    RECT r{};
    GetWindowRect(page, &r);
    return POINT{r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 4};
}

HMENU BuildPresetSubmenu(IUnknown* object) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return nullptr;
    IFilterPresets* presets = QueryPresets(object);
    if (presets == nullptr) return menu;
    LONG count = 0;
    if (SUCCEEDED(presets->GetPresetCount(&count))) {
        if (count > kMaxPresets) count = kMaxPresets;
        // Row 0 is the filter's own starting point, not offered here; the last index asked for
        // is past the table and refused, which drops it like any other name that fails.
        for (LONG i = 1; i <= count; ++i) {
            WCHAR name[kNameChars] = {};
            if (FAILED(presets->GetPresetName(i, name, kNameChars))) continue;
            name[kNameChars - 1] = 0;
            // The id is tied to the index, so a dropped name cannot shift later items onto
            // the wrong preset.
            AppendMenuA(menu, MF_STRING, UINT_PTR(ID_PRESET_FIRST + i - 1),
                        MenuLabel(name).c_str());
        }
    }
    presets->Release();
    return menu;
}

HMENU BuildPageMenu(IUnknown* object, HINSTANCE resources) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return nullptr;
    HMENU presets = BuildPresetSubmenu(object);
    if (presets == nullptr ||
        !AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(presets),
                     LoadLabel(resources, IDS_MENU_PRESETS, L"Presets").c_str())) {
        if (presets) DestroyMenu(presets);
        DestroyMenu(menu);
        return nullptr;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ID_HELP, LoadLabel(resources, IDS_MENU_HELP, L"Help").c_str());
    AppendMenuW(menu, MF_STRING, ID_ABOUT, LoadLabel(resources, IDS_MENU_ABOUT, L"About").c_str());
    return menu;
}

void ShowPageMenu(HWND page, IUnknown* object, HINSTANCE resources, int x, int y) {
    const POINT at = PageMenuPoint(page, x, y);
    HMENU menu = BuildPageMenu(object, resources);
    if (menu == nullptr) return;
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, page, nullptr);
    DestroyMenu(menu);  // and the submenu with it
}

bool ApplyPresetCommand(IUnknown* object, UINT id) {
    if (id < ID_PRESET_FIRST || id > ID_PRESET_LAST) return false;
    if (IFilterPresets* presets = QueryPresets(object)) {
        presets->ApplyPreset(LONG(id) - (ID_PRESET_FIRST - 1));
        presets->Release();
    }
    return true;
}

// The banner's bitmap pair: chosen once at module load, found as packed bitmap resources.
#include <cstdint>

#include "page/controls/Banner.h"
#include "page/controls/BannerState.h"

namespace {

HINSTANCE bitmapModule = nullptr;
UINT normalId = 0, hoverId = 0;

bool LoadDib(UINT id, BannerDib* dib) {
    *dib = BannerDib{};
    if (bitmapModule == nullptr || id == 0) return false;
    HRSRC found =
        FindResourceW(bitmapModule, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (found == nullptr) return false;
    HGLOBAL loaded = LoadResource(bitmapModule, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    return bytes != nullptr && CheckBannerDib(bytes, SizeofResource(bitmapModule, found), dib);
}

}  // namespace

void SetBannerBitmaps(HINSTANCE resources, UINT normal, UINT hover) {
    bitmapModule = resources;
    normalId = normal;
    hoverId = hover;
}

// Every size the header claims is checked against the data, so a damaged resource is refused
// rather than read past its end.
bool CheckBannerDib(const void* data, DWORD size, BannerDib* dib) {
    *dib = BannerDib{};
    const auto* bytes = static_cast<const BYTE*>(data);
    if (size < sizeof(BITMAPINFOHEADER)) return false;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    if (header->biSize != sizeof(BITMAPINFOHEADER)) return false;
    const WORD depth = header->biBitCount;
    // Ours are uncompressed; that keeps the size check exact.
    if (header->biCompression != BI_RGB || header->biPlanes != 1 || header->biWidth <= 0 ||
        header->biHeight == 0 || header->biWidth > 0x7FFF || header->biHeight > 0x7FFF ||
        header->biHeight < -0x7FFF)
        return false;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return false;
    const uint64_t maxColours = depth <= 8 ? (uint64_t{1} << depth) : 0;
    const uint64_t colours = header->biClrUsed != 0 ? header->biClrUsed : maxColours;
    if (depth <= 8 && colours > maxColours) return false;
    const uint64_t stride = (uint64_t(header->biWidth) * depth + 31) / 32 * 4;
    const uint64_t rows = header->biHeight < 0 ? -int64_t{header->biHeight} : header->biHeight;
    const uint64_t palette = colours * sizeof(RGBQUAD);
    if (sizeof(BITMAPINFOHEADER) + palette + stride * rows > size) return false;
    dib->header = header;
    dib->bits = bytes + sizeof(BITMAPINFOHEADER) + palette;
    return true;
}

bool LoadBannerBitmaps(BannerDib* normal, BannerDib* hover) {
    if (LoadDib(normalId, normal) && LoadDib(hoverId, hover)) return true;
    *normal = BannerDib{};
    *hover = BannerDib{};
    return false;
}

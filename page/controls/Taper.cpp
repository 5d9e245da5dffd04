#include "page/controls/Taper.h"

#include <cstddef>

namespace {

struct TaperPoint {
    int64_t x, y;
};

constexpr TaperPoint kSoft[] = {{0, 0},     {30, 250},  {60, 400},  {120, 500},
                                {250, 600}, {400, 800}, {700, 950}, {1000, 1000}};
constexpr TaperPoint kOctave[] = {{0, 0},         {20, 1000},     {40, 2000},     {80, 3000},
                                  {160, 4000},    {320, 5000},    {640, 6000},    {1280, 7000},
                                  {2560, 8000},   {5120, 9000},   {10240, 10000}, {20480, 11000},
                                  {40960, 12000}, {81920, 13000}, {163840, 14000}};

// a * b / c, truncated toward zero. Values stay within 32 bits times 32 bits, which fits a
// 64-bit product; the long-double path only guards inputs at the very ends of the range.
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
    int64_t product;
    if (!__builtin_mul_overflow(a, b, &product)) return product / c;
    return static_cast<int64_t>(static_cast<long double>(a) * b / c);
}

// Walks the points from the second on; `inverse` swaps the roles of x and y.
int64_t MapThrough(const TaperPoint* points, size_t count, int64_t value, bool inverse) {
    const bool negative = value < 0;
    const int64_t v = negative ? -value : value;
    int64_t result = v;  // beyond the last point: the identity
    for (size_t i = 1; i < count; ++i) {
        const int64_t from = inverse ? points[i - 1].y : points[i - 1].x;
        const int64_t to = inverse ? points[i].y : points[i].x;
        const int64_t outFrom = inverse ? points[i - 1].x : points[i - 1].y;
        const int64_t outTo = inverse ? points[i].x : points[i].y;
        if (v <= to) {
            result = outFrom + MulDiv(v - from, outTo - outFrom, to - from);
            break;
        }
    }
    return negative ? -result : result;
}

int64_t Map(TaperTable table, int64_t value, bool inverse) {
    if (table == TaperTable::Octave)
        return MapThrough(kOctave, sizeof kOctave / sizeof kOctave[0], value, inverse);
    return MapThrough(kSoft, sizeof kSoft / sizeof kSoft[0], value, inverse);
}

int64_t RangeOf(const SliderScale& scale) {
    return int64_t(scale.max) - scale.min;
}

}  // namespace

int64_t TaperForward(TaperTable table, int64_t x) {
    return Map(table, x, false);
}

int64_t TaperInverse(TaperTable table, int64_t y) {
    return Map(table, y, true);
}

void DeriveTaper(SliderScale& scale) {
    const int64_t range = RangeOf(scale);
    if (!scale.tapered || range <= 0) {
        scale.offset = 0;
        scale.span = 1;
        return;
    }
    const int64_t top = TaperForward(scale.table, scale.max);
    const int64_t span = top - TaperForward(scale.table, scale.min);
    scale.span = span < 1 ? 1 : span;
    scale.offset = scale.max - MulDiv(top, range, scale.span);
}

int32_t DefaultPositionForRange(int32_t min, int32_t max) {
    if (min < 0 && max >= 0) return max == 0 ? min : 0;
    return static_cast<int32_t>((int64_t(min) + max) / 2);
}

int32_t ClampToRange(int64_t value, int32_t min, int32_t max) {
    if (value > max) value = max;
    if (value < min) value = min;
    return static_cast<int32_t>(value);
}

int32_t ValueToPixel(const SliderScale& scale, const SliderChannel& channel, int32_t value) {
    const int64_t range = RangeOf(scale);
    int64_t d = 0;
    if (range > 0) {
        int64_t v = ClampToRange(value, scale.min, scale.max);
        if (scale.tapered)
            v = MulDiv(TaperForward(scale.table, v), range, scale.span) + scale.offset;
        d = MulDiv(v - scale.min, channel.length, range);
        // Truncation in the taper can land a pixel outside the travel at either end.
        if (d < 0) d = 0;
        if (d > channel.length) d = channel.length;
    }
    return static_cast<int32_t>(channel.vertical ? channel.start + channel.length - d
                                                 : channel.start + d);
}

int32_t PixelToValue(const SliderScale& scale, const SliderChannel& channel, int32_t pixel) {
    const int64_t end = int64_t(channel.start) + channel.length;
    if (pixel < channel.start) return channel.vertical ? scale.max : scale.min;
    if (pixel > end) return channel.vertical ? scale.min : scale.max;
    const int64_t range = RangeOf(scale);
    if (range <= 0 || channel.length <= 0) return scale.min;
    const int64_t along = channel.vertical ? end - pixel : pixel - channel.start;
    int64_t v = MulDiv(along, range, channel.length) + scale.min;
    if (scale.tapered) v = TaperInverse(scale.table, MulDiv(v - scale.offset, scale.span, range));
    return ClampToRange(v, scale.min, scale.max);
}

int32_t SliderStep(int code, int32_t position, int32_t min, int32_t max, int32_t lineStep,
                   int32_t pageStep, bool vertical, bool ctrl) {
    int64_t page = pageStep;
    if (page == 0) {
        page = (int64_t(max) - min + 5) / 10;
        if (page < 1) page = 1;
    }
    if (ctrl) page *= 10;
    const int64_t towardMin = vertical ? 1 : -1;  // the sign codes 0 and 2 move with
    int64_t next = position;
    switch (code) {
        case kSliderLineDown:
            next += towardMin * lineStep;
            break;
        case kSliderLineUp:
            next -= towardMin * lineStep;
            break;
        case kSliderPageDown:
            next += towardMin * page;
            break;
        case kSliderPageUp:
            next -= towardMin * page;
            break;
        case kSliderHome:
            next = vertical ? max : min;
            break;
        case kSliderEnd:
            next = vertical ? min : max;
            break;
        default:
            break;
    }
    return ClampToRange(next, min, max);
}

SliderLayout LayoutSlider(int32_t width, int32_t height, uint32_t style) {
    SliderLayout layout;
    const bool vertical = (style & kSliderVertical) != 0;
    const int32_t along = vertical ? height : width;
    const int32_t across = vertical ? width : height;
    if (!(style & kSliderNoTicks)) {
        layout.ticksFar = (style & (kSliderTicksFar | kSliderTicksBoth)) != 0;
        layout.ticksNear = !layout.ticksFar || (style & kSliderTicksBoth) != 0;
    }
    // A fader cap about 9:20, kept odd so its centre line has a middle pixel.
    int32_t thumb = across * 9 / 20;
    thumb = thumb < 7 ? 7 : thumb > 13 ? 13 : thumb;
    layout.thumbLength = thumb | 1;
    layout.tickLength = across >= 20 ? 4 : 3;
    const int32_t tickRoom = layout.tickLength + 1;
    int32_t from = 1 + (layout.ticksNear ? tickRoom : 0);
    int32_t to = across - 1 - (layout.ticksFar ? tickRoom : 0);
    if (to - from < 8) {  // too small for ticks: the thumb takes the whole breadth
        layout.ticksNear = layout.ticksFar = false;
        from = 1;
        to = across - 1;
    }
    layout.thumbFrom = from;
    layout.thumbTo = to > from ? to : from + 1;
    const int32_t half = layout.thumbLength / 2;
    layout.channel.vertical = vertical;
    layout.channel.start = 1 + half;
    const int32_t length = along - 2 * (1 + half) - 1;
    layout.channel.length = length > 0 ? length : 0;
    const int32_t centre = (layout.thumbFrom + layout.thumbTo - 1) / 2;
    layout.grooveFrom = layout.channel.start - 3;
    layout.grooveTo = layout.channel.start + layout.channel.length + 4;
    layout.grooveAcrossFrom = centre - 1;
    layout.grooveAcrossTo = centre + 3;
    return layout;
}

SliderPart HitTestSlider(const SliderLayout& layout, int32_t thumbPixel, int32_t along,
                         int32_t across) {
    if (across < layout.thumbFrom || across >= layout.thumbTo) return SliderPart::None;
    const int32_t half = layout.thumbLength / 2;
    const int32_t first = layout.channel.start - half;
    const int32_t last = layout.channel.start + layout.channel.length + half;
    if (along < first || along > last) return SliderPart::None;
    if (along < thumbPixel - half) return SliderPart::BeforeThumb;
    if (along > thumbPixel + half) return SliderPart::AfterThumb;
    return SliderPart::Thumb;
}

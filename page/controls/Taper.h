// The slider's value scale: the two taper tables, value <-> pixel mapping along the channel,
// the default position after a range change, the step rule its owner applies to scroll codes,
// and the control's pixel layout. Plain integer arithmetic, so it builds and tests natively.
#pragma once

#include <cstdint>

// Which taper table a tapered slider uses.
enum class TaperTable { Soft, Octave };

// Piecewise-linear forward map T and its inverse over the same points. The sign of x is kept
// and its absolute value mapped; beyond the last point both maps are the identity.
int64_t TaperForward(TaperTable table, int64_t x);
int64_t TaperInverse(TaperTable table, int64_t y);

// A slider's value range with its taper. `offset` and `span` come from DeriveTaper.
struct SliderScale {
    int32_t min = 0;
    int32_t max = 100;
    bool tapered = false;
    TaperTable table = TaperTable::Soft;
    int64_t offset = 0;
    int64_t span = 1;
};

// Re-derives span g = T(max) - T(min) (at least 1) and offset = max - T(max)(max - min) / g
// after a range change. A linear or empty range gets offset 0 and span 1.
void DeriveTaper(SliderScale& scale);

// The range's default position: the midpoint, but 0 for a range spanning zero (the minimum
// when the maximum is 0).
int32_t DefaultPositionForRange(int32_t min, int32_t max);

// `value` kept within [min, max]; a range with max below min gives min.
int32_t ClampToRange(int64_t value, int32_t min, int32_t max);

// The pixels the thumb's centre travels: the minimum's pixel is `start` on a horizontal
// slider, start + length on a vertical one (maximum at the top).
struct SliderChannel {
    int32_t start = 0;
    int32_t length = 0;
    bool vertical = false;
};

int32_t ValueToPixel(const SliderScale& scale, const SliderChannel& channel, int32_t value);
int32_t PixelToValue(const SliderScale& scale, const SliderChannel& channel, int32_t pixel);

// Scroll codes a slider sends in WM_HSCROLL / WM_VSCROLL.
enum SliderCode : int {
    kSliderLineDown = 0,  // toward the minimum on a horizontal slider
    kSliderLineUp = 1,
    kSliderPageDown = 2,
    kSliderPageUp = 3,
    kSliderThumbPosition = 4,
    kSliderThumbTrack = 5,
    kSliderHome = 6,
    kSliderEnd = 7,
    kSliderEndScroll = 8,
    kSliderPress = 9,
};

// The position a scroll code leads to. A page step of 0 means a tenth of the range (at least
// 1); `ctrl` multiplies the page step by 10. On a vertical slider the directions are mirrored.
// Codes that carry a position, or none, keep `position`. The result lies within the range.
int32_t SliderStep(int code, int32_t position, int32_t min, int32_t max, int32_t lineStep,
                   int32_t pageStep, bool vertical, bool ctrl);

// Where the control draws and hit-tests, for a client area and its style bits. "Along" is
// the slider's axis, "across" the other one; rectangles are half-open [from, to).
struct SliderLayout {
    SliderChannel channel;
    int32_t thumbLength = 0;  // along, odd so the centre line sits in the middle
    int32_t thumbFrom = 0;    // across
    int32_t thumbTo = 0;
    int32_t grooveFrom = 0;  // along, the sunken channel drawn around the travel
    int32_t grooveTo = 0;
    int32_t grooveAcrossFrom = 0;
    int32_t grooveAcrossTo = 0;
    bool ticksNear = false;  // above a horizontal channel, left of a vertical one
    bool ticksFar = false;
    int32_t tickLength = 0;
};

// Style bits the layout reads (low word of the window style).
constexpr uint32_t kSliderVertical = 0x0001;
constexpr uint32_t kSliderTicksFar = 0x0002;  // ticks below / right of the channel
constexpr uint32_t kSliderNoFocusOnClick = 0x0008;
constexpr uint32_t kSliderNoTicks = 0x0010;
constexpr uint32_t kSliderOctaveTaper = 0x0040;
constexpr uint32_t kSliderTapered = 0x0080;
constexpr uint32_t kSliderTicksBoth = 0x0100;
constexpr uint32_t kSliderCommandNotices = 0x8000;

SliderLayout LayoutSlider(int32_t width, int32_t height, uint32_t style);

// The part of the control at a point (along, across) for a thumb centred at `thumbPixel`.
enum class SliderPart { None = -1, Thumb = 0, BeforeThumb = 1, AfterThumb = 2 };
SliderPart HitTestSlider(const SliderLayout& layout, int32_t thumbPixel, int32_t along,
                         int32_t across);

#include "SvfKernel.h"

namespace {

template <typename Sample, int Channels, bool Fourth, bool Moving>
struct ByType {
    using Loop = void (*)(DspCore*, Sample*, DWORD);
    static constexpr Loop loops[3] = {&SvfLoop<Sample, Channels, Fourth, kLowPass, Moving>,
                                      &SvfLoop<Sample, Channels, Fourth, kBandPass, Moving>,
                                      &SvfLoop<Sample, Channels, Fourth, kHighPass, Moving>};
};

template <typename Sample, bool Fourth, bool Moving>
struct ManyByType {
    using Loop = void (*)(DspCore*, Sample*, DWORD, int);
    static constexpr Loop loops[3] = {&SvfLoopMany<Sample, Fourth, kLowPass, Moving>,
                                      &SvfLoopMany<Sample, Fourth, kBandPass, Moving>,
                                      &SvfLoopMany<Sample, Fourth, kHighPass, Moving>};
};

template <typename Sample, bool Moving>
void RunMany(DspCore* core, Sample* buffer, DWORD frames, int channels, bool fourth, int type) {
    const auto loop = fourth ? ManyByType<Sample, true, Moving>::loops[type]
                             : ManyByType<Sample, false, Moving>::loops[type];
    loop(core, buffer, frames, channels);
}

template <typename Sample, bool Moving>
void (*Select(int channels, bool fourth, int type))(DspCore*, Sample*, DWORD) {
    if (channels == 1) {
        return fourth ? ByType<Sample, 1, true, Moving>::loops[type]
                      : ByType<Sample, 1, false, Moving>::loops[type];
    }
    return fourth ? ByType<Sample, 2, true, Moving>::loops[type]
                  : ByType<Sample, 2, false, Moving>::loops[type];
}

template <typename Sample>
HRESULT Run(DspCore* core, Sample* buffer, DWORD frames, int channels) {
    if (channels < 1 || channels > kMaxChannels) return S_FALSE;
    const LONG type = core->coef.filterType;
    if (type < 0 || type > 2) return S_OK;
    const bool fourth = core->coef.filterOrder != 0;
    if (channels > 2) {
        if (core->rampsMoving) {
            RunMany<Sample, true>(core, buffer, frames, channels, fourth, int(type));
        } else {
            RunMany<Sample, false>(core, buffer, frames, channels, fourth, int(type));
        }
        return S_OK;
    }
    // With no ramp moving the per-frame recomputation would reproduce the same coefficients.
    auto loop = core->rampsMoving ? Select<Sample, true>(channels, fourth, int(type))
                                  : Select<Sample, false>(channels, fourth, int(type));
    loop(core, buffer, frames);
    return S_OK;
}

}  // namespace

HRESULT RunKernel(DspCore* core, float* buffer, DWORD frames, int channels) {
    return Run(core, buffer, frames, channels);
}

HRESULT RunKernel(DspCore* core, double* buffer, DWORD frames, int channels) {
    return Run(core, buffer, frames, channels);
}

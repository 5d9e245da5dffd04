// A deliberately plain model of the signal path, one frame at a time, for comparing the core's
// output with: stream samples into working samples, the state-variable filter three passes per
// sample over a generic loop of channels and sections, the wet/dry mix, and back. Coefficients
// are designed again for every frame from the values in force. It shares no code with the
// core; its arithmetic follows the core's order step by step, so that the results round alike.
//
// The values in force come frame by frame (AutomationModel), so automation moves them as it
// moves the core's.
#pragma once

#include <vector>

#include "SessionScript.h"

class SignalModel {
  public:
    // Streaming starts (or a format arrives in band, or a direct session opens, or a refresh
    // asks for a reset): coefficients from `values`, every section from silence.
    // `validBits` (0: all) are the bits of a 24- or 32-bit PCM sample that carry the signal.
    void Restart(const WAVEFORMATEX& format, WORD validBits,
                 const double values[kSessionParamCount]);
    // One buffer of stream samples in place, `values` the parameters at each frame (frames x
    // kSessionParamCount); `restart` for a discontinuous one.
    void Run(void* data, DWORD frames, const double* values, bool restart);

    // The coefficients a filter holds, for Adopt to compare with the model's own design.
    struct Held {
        double f, d, wet, dry;
        long type, order;
    };
    // Where the model lost track of the core (a change the core had not followed), it takes up
    // the core's sections again, `states(section, channel)` giving low, high and band, but only
    // when the core holds exactly the coefficients `values` design: false, and nothing taken,
    // when it does not.
    template <typename States>
    bool Adopt(const Held& held, const States& states, const double values[kSessionParamCount]) {
        Design(values);
        if (held.f != c_.f || held.d != c_.d || held.wet != c_.wet || held.dry != c_.dry ||
            held.type != c_.type || (held.order != 0) != (c_.order != 0))
            return false;
        for (int k = 0; k < 2; ++k)
            for (unsigned ch = 0; ch < 32; ++ch) {
                const auto& s = states(k, ch);
                sections_[k][ch] = Section{s.low, s.high, s.band};
            }
        lastOrder_ = c_.order;
        return true;
    }

  private:
    struct Section {
        double low = 0, high = 0, band = 0;
    };
    struct Coefficients {
        double f = 0, d = 0, wet = 0, dry = 0;
        long type = 0, order = 0;
    };

    void Design(const double values[kSessionParamCount]);
    void Silence();
    double Tick(Section* s, double x) const;
    template <typename Working>
    void Filter(Working* samples, DWORD frames, const double* values);
    // Stream samples to working ones, Filter, and back.
    void Convert(uint8_t* bytes, size_t samples, DWORD frames, const double* values);

    WAVEFORMATEX format_{};
    WORD validBits_ = 0;
    Coefficients c_;
    long lastOrder_ = 0;       // the order of the last buffer filtered
    Section sections_[2][32];  // [section][channel]: every channel a stream may carry
    std::vector<float> singles_;
    std::vector<double> doubles_;
    std::vector<bool> untouched_;  // per frame of the buffer: bypassed or left alone
};

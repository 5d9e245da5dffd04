// The kernels' measured magnitude against the exact response of the three-pass section.
//
// With fixed coefficients one pass maps the state s = (low, band) to A s + B x with
// A = [[1, f], [-f, 1 - f^2 - f d]] and B = (0, f); one input sample is three passes.
#include <cmath>
#include <complex>

#include "support/DspFixture.h"

namespace {

using C = std::complex<double>;
constexpr double kPi = 3.141592653589793;

struct M2 {
    C a, b, c, d;  // [[a, b], [c, d]]
};
M2 Mul(const M2& x, const M2& y) {
    return {x.a * y.a + x.b * y.c, x.a * y.b + x.b * y.d, x.c * y.a + x.d * y.c,
            x.c * y.b + x.d * y.d};
}
M2 Add(const M2& x, const M2& y) {
    return {x.a + y.a, x.b + y.b, x.c + y.c, x.d + y.d};
}

// Exact magnitude of one section's output `type` at normalised angular frequency w.
double TheoryMagnitude(int type, double f, double d, double w) {
    const M2 A{1, f, -f, 1 - f * f - f * d};
    const M2 I{1, 0, 0, 1};
    const M2 A2 = Mul(A, A);
    const M2 Phi = Mul(A2, A);
    const M2 G = Add(Add(I, A), A2);  // Gamma = G B, B = (0, f)
    const C g0 = G.b * f, g1 = G.d * f;
    const C z = std::polar(1.0, w);
    // S = (zI - Phi)^-1 Gamma: the state before the sample, per unit input.
    const C m00 = z - Phi.a, m01 = -Phi.b, m10 = -Phi.c, m11 = z - Phi.d;
    const C det = m00 * m11 - m01 * m10;
    const C s0 = (m11 * g0 - m01 * g1) / det;
    const C s1 = (-m10 * g0 + m00 * g1) / det;
    // After the sample: z S. High uses the band value before the third pass's update.
    const C low = z * s0, band = z * s1;
    const C band2 = A2.c * s0 + A2.d * s1 + (A.d + 1.0) * f;
    const C high = 1.0 - low - d * band2;
    return std::abs(type == 0 ? low : (type == 1 ? band : high));
}

class ResponseTest : public DspTest {
  protected:
    template <typename Sample>
    void Check(WORD bits) {
        constexpr int kWindow = 4096, kSettle = 60000;
        const double fs = 44100;
        int checked = 0;
        for (int type = 0; type < 3; ++type) {
            for (int order = 0; order < 2; ++order) {
                for (double cutoff : {300.0, 3000.0, 12000.0}) {
                    for (double resonance : {0.0, 60.0, 100.0}) {
                        for (double probe : {0.5, 1.0, 1.7}) {
                            const int bin = int(std::lround(cutoff * probe * kWindow / fs));
                            if (bin * fs / kWindow > 0.45 * fs) continue;
                            Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, bits), MP_DATA(cutoff),
                                  MP_DATA(resonance), MP_DATA(type), MP_DATA(order));
                            std::vector<Sample> buffer(kSettle + kWindow);
                            for (size_t n = 0; n < buffer.size(); ++n) {
                                buffer[n] =
                                    Sample(0.5 * std::sin(2 * kPi * bin * double(n) / kWindow));
                            }
                            Run(buffer, 4096);
                            C acc = 0;
                            for (int n = 0; n < kWindow; ++n) {
                                acc += double(buffer[size_t(kSettle + n)]) *
                                       std::polar(1.0, -2 * kPi * bin * n / kWindow);
                            }
                            const double measured = 2.0 * std::abs(acc) / kWindow / 0.5;
                            const CoefficientSet& c = dsp.Core().coef;
                            double theory = TheoryMagnitude(type, c.freqCoef, c.damping,
                                                            2 * kPi * bin / kWindow);
                            if (order) theory *= theory;
                            const double errorDb = 20 * std::log10(measured / theory);
                            ASSERT_LT(std::fabs(errorDb), 0.01)
                                << "type " << type << " order " << order << " cutoff " << cutoff
                                << " resonance " << resonance << " probe " << probe;
                            ++checked;
                        }
                    }
                }
            }
        }
        EXPECT_GT(checked, 100);
    }
};

TEST_F(ResponseTest, FloatKernelsMatchTheExactResponseWithinAHundredthOfADecibel) {
    Check<float>(32);
}

TEST_F(ResponseTest, DoubleKernelsMatchTheExactResponseWithinAHundredthOfADecibel) {
    Check<double>(64);
}

}  // namespace

// resfilter --plot draws the measured response: the curve's highest point in the PNG sits where
// a resonant low-pass at those settings peaks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/common/ResponsePlot.h"

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// PNG to binary PPM through ImageMagick, then the plain PPM parse.
bool ReadPng(const std::string& png, Picture* p) {
    const std::string ppm = png + ".ppm";
    if (std::system(("convert '" + png + "' -depth 8 'ppm:" + ppm + "'").c_str()) != 0)
        return false;
    std::FILE* f = std::fopen(ppm.c_str(), "rb");
    if (f == nullptr) return false;
    int max = 0;
    const bool header = std::fscanf(f, "P6 %d %d %d", &p->width, &p->height, &max) == 3;
    std::fgetc(f);
    p->rgb.resize(size_t(p->width) * size_t(p->height) * 3);
    const bool body = header && std::fread(p->rgb.data(), 1, p->rgb.size(), f) == p->rgb.size();
    std::fclose(f);
    std::remove(ppm.c_str());
    return body && max == 255;
}

// The frequency under the curve's highest pixel: the curve is the only blue in the picture.
double PeakHz(const Picture& p) {
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const unsigned char* c = &p.rgb[(size_t(y) * size_t(p.width) + size_t(x)) * 3];
            if (c[2] > 150 && c[0] < 90 && c[1] < 130) {
                const double left = PlotFrame::kLeft * p.width, right = PlotFrame::kRight * p.width;
                const double t = (x + 0.5 - left) / (right - left);
                return PlotFrame::kMinHz * std::pow(PlotFrame::kMaxHz / PlotFrame::kMinHz, t);
            }
        }
    return 0;
}

TEST(ResponsePlot, PeakSitsAtTheResonantFrequency) {
    for (double hz : {300.0, 1000.0, 6000.0}) {
        SCOPED_TRACE(hz);
        const std::string png = testing::TempDir() + "rf_plot.png";
        std::remove(png.c_str());
        char command[512];
        std::snprintf(command, sizeof command,
                      "'%s' --quiet --type low --order 2 --resonance 80 --frequency %g --plot '%s'",
                      RF_RESFILTER, hz, png.c_str());
        ASSERT_EQ(std::system(command), 0);
        Picture picture;
        ASSERT_TRUE(ReadPng(png, &picture));
        EXPECT_EQ(picture.width, PlotFrame::kWidth);
        // Resonance 80 % gives Q = 0.8 x 24.29 + 0.71 = 20.1: the peak is within 0.1 % of the
        // cut-off, and one pixel spans 0.8 % of frequency here.
        const double q = 0.8 * 24.292893218813454 + 0.7071067811865476;
        const double expected = hz * std::sqrt(1 - 1 / (2 * q * q));
        EXPECT_NEAR(PeakHz(picture) / expected, 1.0, 0.03);
        std::remove(png.c_str());
    }
}

}  // namespace

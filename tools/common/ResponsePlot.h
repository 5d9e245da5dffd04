// The filter's magnitude response, measured from its impulse response, drawn with gnuplot.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

struct ResponsePoint {
    double hz;
    double db;
};

// How many frames of impulse response to measure at a rate: a second, and at least 2^16.
size_t ImpulseFrames(DWORD rate);

// |H| in dB at `points` frequencies spaced evenly on a log axis from 20 Hz to 20 kHz (or just
// under half the rate), by direct evaluation of the impulse response's transform.
std::vector<ResponsePoint> MagnitudeResponse(const std::vector<float>& impulse, DWORD rate,
                                             int points = 480);

// Where the plot area sits in the picture, as fractions of its width and height from the left
// and the bottom, so a reader of the PNG can map pixels back to hertz and decibels.
struct PlotFrame {
    static constexpr int kWidth = 960, kHeight = 540;
    static constexpr double kLeft = 0.09, kRight = 0.97, kBottom = 0.12, kTop = 0.90;
    static constexpr double kMinHz = 20, kMaxHz = 20000;
};

// Draws the curve into a PNG with gnuplot; removes its scratch files and, on failure, the PNG.
bool WriteResponsePlot(const std::string& png, const std::vector<ResponsePoint>& response,
                       const std::string& title, std::string* error);

// "Low Pass, 4th order, 1000 Hz, resonance 80 %, wet 100 %" for six parameter values.
std::string DescribeSettings(const MP_DATA values[6]);

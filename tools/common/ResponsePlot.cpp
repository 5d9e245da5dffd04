#include "tools/common/ResponsePlot.h"

#include <cmath>
#include <cstdio>

#include "tools/common/System.h"

size_t ImpulseFrames(DWORD rate) {
    return rate > 65536 ? rate : 65536;
}

std::vector<ResponsePoint> MagnitudeResponse(const std::vector<float>& impulse, DWORD rate,
                                             int points) {
    std::vector<ResponsePoint> response;
    const double pi = 3.14159265358979323846;
    const double top = std::fmin(PlotFrame::kMaxHz, 0.499 * rate);
    for (int k = 0; k < points; ++k) {
        const double hz =
            PlotFrame::kMinHz * std::pow(top / PlotFrame::kMinHz, double(k) / double(points - 1));
        // Goertzel's recurrence: one pass, real arithmetic only.
        const double w = 2 * pi * hz / rate, c = 2 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (float x : impulse) {
            const double s = x + c * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        const double re = s1 - s2 * std::cos(w), im = s2 * std::sin(w);
        const double magnitude = std::sqrt(re * re + im * im);
        response.push_back({hz, 20 * std::log10(std::fmax(magnitude, 1e-12))});
    }
    return response;
}

bool WriteResponsePlot(const std::string& png, const std::vector<ResponsePoint>& response,
                       const std::string& title, std::string* error) {
    const std::string data = png + ".dat", script = png + ".gp", done = png + ".done";
    double peak = -200;
    for (const ResponsePoint& p : response)
        peak = std::fmax(peak, p.db);
    const double top = 6 * std::ceil((peak + 3) / 6), bottom = top - 96;

    std::FILE* d = std::fopen(data.c_str(), "w");
    if (d == nullptr) {
        *error = "cannot write " + data;
        return false;
    }
    for (const ResponsePoint& p : response)
        std::fprintf(d, "%.6f %.6f\n", p.hz, p.db < bottom ? bottom : p.db);
    const bool dataOk = std::fclose(d) == 0;

    std::FILE* s = std::fopen(script.c_str(), "w");
    if (s == nullptr || !dataOk) {
        if (s != nullptr) std::fclose(s);
        std::remove(data.c_str());
        *error = "cannot write " + script;
        return false;
    }
    std::fprintf(s,
                 "set terminal pngcairo size %d,%d font 'Sans,11'\n"
                 "set output '%s'\n"
                 "set lmargin at screen %g\nset rmargin at screen %g\n"
                 "set bmargin at screen %g\nset tmargin at screen %g\n"
                 "set logscale x 10\nset xrange [%g:%g]\nset yrange [%g:%g]\n"
                 "set xtics ('20' 20, '50' 50, '100' 100, '200' 200, '500' 500, '1k' 1000, "
                 "'2k' 2000, '5k' 5000, '10k' 10000, '20k' 20000)\n"
                 "set ytics 12\nset grid xtics mxtics ytics lc rgb '#d8d8d8'\n"
                 "set xlabel 'Frequency (Hz)'\nset ylabel 'Magnitude (dB)'\n"
                 "set title '%s'\nunset key\n"
                 "plot '%s' using 1:2 with lines lw 2 lc rgb '#1f5fbf'\n"
                 "unset output\nset print '%s'\nprint 'done'\nunset print\n",
                 PlotFrame::kWidth, PlotFrame::kHeight, PathForGnuplot(png).c_str(),
                 PlotFrame::kLeft, PlotFrame::kRight, PlotFrame::kBottom, PlotFrame::kTop,
                 PlotFrame::kMinHz, PlotFrame::kMaxHz, bottom, top, title.c_str(),
                 PathForGnuplot(data).c_str(), PathForGnuplot(done).c_str());
    const bool scriptOk = std::fclose(s) == 0;
    std::remove(png.c_str());
    std::remove(done.c_str());
    // The marker is written once the picture is complete: a Windows program cannot always
    // wait for a Unix one under Wine.
    const bool started = scriptOk && RunGnuplot(script, error);
    const bool ran = started && WaitForFile(done, 30000);
    std::remove(done.c_str());
    std::remove(data.c_str());
    std::remove(script.c_str());
    if (started && (!ran || !FileExists(png))) *error = "gnuplot wrote no picture";
    if (!ran || !FileExists(png)) {
        std::remove(png.c_str());
        return false;
    }
    return true;
}

std::string DescribeSettings(const MP_DATA values[6]) {
    static const char* const types[] = {"Low Pass", "Band Pass", "High Pass"};
    const int type = int(values[2]);
    char text[160];
    std::snprintf(text, sizeof text, "%s, %s order, %.0f Hz, resonance %.1f %%, wet %.1f %%%s",
                  types[type >= 0 && type <= 2 ? type : 0], values[3] >= 0.5f ? "4th" : "2nd",
                  double(values[0]), double(values[1]), double(values[5]),
                  values[4] >= 0.5f ? ", bypassed" : "");
    return text;
}

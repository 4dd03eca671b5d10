// Level and spectrum measurement, and the cairo drawing of the comparison picture.
#include "tools/qxhost/analysis.h"

#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "tools/qxhost/common.h"

namespace qx::tool {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFftSize = 4096;

// In-place iterative radix-2 transform; size is a power of two.
void fft(std::vector<std::complex<double>>& x) {
    const std::size_t n = x.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * kPi / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto a = x[i + k], b = x[i + k + len / 2] * w;
                x[i + k] = a + b;
                x[i + k + len / 2] = a - b;
                w *= step;
            }
        }
    }
}

double powerDb(double power) {
    return power > 1e-20 ? 10.0 * std::log10(power) : -200.0;
}

struct Rect {
    double x, y, w, h;
};

void setGrey(cairo_t* cr, double v, double a = 1.0) {
    cairo_set_source_rgba(cr, v, v, v, a);
}

void text(cairo_t* cr, double x, double y, const std::string& s, double size, bool bold = false,
          bool alignRight = false) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, alignRight ? x - e.x_advance : x, y);
    cairo_show_text(cr, s.c_str());
}

// A panel with a frame, horizontal grid lines at `yTicks` (values in dB) and labels.
void framePanel(cairo_t* cr, const Rect& r, const std::string& caption, double yMin, double yMax,
                const std::vector<double>& yTicks) {
    setGrey(cr, 0.97);
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.0);
    for (double t : yTicks) {
        const double y = r.y + r.h * (yMax - t) / (yMax - yMin);
        setGrey(cr, 0.85);
        cairo_move_to(cr, r.x, y);
        cairo_line_to(cr, r.x + r.w, y);
        cairo_stroke(cr);
        setGrey(cr, 0.35);
        text(cr, r.x - 6, y + 4, std::to_string(static_cast<int>(t)), 11, false, true);
    }
    setGrey(cr, 0.5);
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    cairo_stroke(cr);
    setGrey(cr, 0.15);
    text(cr, r.x, r.y - 8, caption, 13, true);
}

// Polyline of `values` mapped into the panel; `xOf(i)` gives 0..1 along the width.
template <typename XOf>
void curve(cairo_t* cr, const Rect& r, const std::vector<double>& values, XOf xOf, double yMin,
           double yMax, bool fill) {
    if (values.empty()) return;
    auto yOf = [&](double v) {
        return r.y + r.h * (yMax - std::clamp(v, yMin, yMax)) / (yMax - yMin);
    };
    bool started = false;
    double firstX = 0.0, lastX = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double fx = xOf(i);
        if (fx < 0.0 || fx > 1.0) continue;
        const double x = r.x + r.w * fx;
        if (!started) {
            cairo_move_to(cr, x, yOf(values[i]));
            firstX = x;
            started = true;
        } else {
            cairo_line_to(cr, x, yOf(values[i]));
        }
        lastX = x;
    }
    if (!started) return;
    if (fill) {
        cairo_line_to(cr, lastX, r.y + r.h);
        cairo_line_to(cr, firstX, r.y + r.h);
        cairo_close_path(cr);
        cairo_fill(cr);
    } else {
        cairo_stroke(cr);
    }
}

cairo_status_t writeToFd(void* closure, const unsigned char* data, unsigned int length) {
    const int fd = *static_cast<int*>(closure);
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n <= 0) return CAIRO_STATUS_WRITE_ERROR;
        data += n;
        length -= static_cast<unsigned int>(n);
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

Analysis analyse(const Audio& audio) {
    Analysis a;
    a.sampleRate = audio.sampleRate;
    const std::size_t frames = audio.frames();
    const std::size_t channels = audio.channels.size();
    a.seconds = frames / a.sampleRate;
    if (frames == 0 || channels == 0) return a;

    double sum = 0.0;
    for (const auto& c : audio.channels)
        for (double v : c) {
            a.peak = std::max(a.peak, std::fabs(v));
            sum += v * v;
        }
    a.rms = std::sqrt(sum / static_cast<double>(frames * channels));

    const auto window =
        std::max<std::size_t>(1, static_cast<std::size_t>(a.windowSeconds * a.sampleRate));
    for (std::size_t start = 0; start < frames; start += window) {
        const std::size_t end = std::min(frames, start + window);
        double power = 0.0;
        for (const auto& c : audio.channels)
            for (std::size_t n = start; n < end; ++n) power += c[n] * c[n];
        a.levelDb.push_back(powerDb(power / static_cast<double>((end - start) * channels)));
        if (channels == 2) {
            double side = 0.0;
            for (std::size_t n = start; n < end; ++n) {
                const double s = 0.5 * (audio.channels[0][n] - audio.channels[1][n]);
                side += s * s;
            }
            a.sideLevelDb.push_back(powerDb(side / static_cast<double>(end - start)));
        }
    }

    // Welch average of Hann-windowed frames, half overlap, power averaged over channels.
    std::vector<double> hann(kFftSize);
    double windowSum = 0.0;
    for (int i = 0; i < kFftSize; ++i) {
        hann[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kFftSize);
        windowSum += hann[i];
    }
    std::vector<double> power(kFftSize / 2 + 1, 0.0);
    std::size_t count = 0;
    std::vector<std::complex<double>> buffer(kFftSize);
    for (std::size_t start = 0; start + kFftSize <= std::max<std::size_t>(frames, kFftSize);
         start += kFftSize / 2) {
        for (const auto& c : audio.channels) {
            for (int i = 0; i < kFftSize; ++i)
                buffer[i] = start + i < frames ? c[start + i] * hann[i] : 0.0;
            fft(buffer);
            for (int k = 0; k <= kFftSize / 2; ++k) power[k] += std::norm(buffer[k]);
            ++count;
        }
    }
    const double scale = 2.0 / windowSum;  // a full-scale sine peaks at 0 dB
    a.binHz = a.sampleRate / kFftSize;
    for (double p : power)
        a.spectrumDb.push_back(powerDb(p / static_cast<double>(count) * scale * scale));
    return a;
}

void writeComparisonPng(const std::string& path, const std::string& title,
                        const std::string& subtitle, const Analysis& input,
                        const Analysis& output) {
    constexpr int kWidth = 1200, kHeight = 760;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    setGrey(cr, 1.0);
    cairo_paint(cr);
    setGrey(cr, 0.1);
    text(cr, 24, 34, title, 20, true);
    setGrey(cr, 0.3);
    text(cr, 24, 58, subtitle, 13);

    // Legend.
    const double legendX = kWidth - 260;
    cairo_set_source_rgba(cr, 0.55, 0.55, 0.55, 0.6);
    cairo_rectangle(cr, legendX, 24, 26, 10);
    cairo_fill(cr);
    setGrey(cr, 0.2);
    text(cr, legendX + 34, 34, "input", 13);
    cairo_set_source_rgb(cr, 0.1, 0.35, 0.85);
    cairo_rectangle(cr, legendX + 110, 24, 26, 10);
    cairo_fill(cr);
    setGrey(cr, 0.2);
    text(cr, legendX + 144, 34, "output", 13);

    cairo_set_source_rgb(cr, 0.9, 0.45, 0.1);
    cairo_rectangle(cr, legendX - 150, 24, 26, 10);
    cairo_fill(cr);
    setGrey(cr, 0.2);
    text(cr, legendX - 116, 34, "output side", 13);

    // Level over time.
    const Rect level{60, 100, kWidth - 90.0, 260};
    framePanel(cr, level, "Level over time (RMS, 20 ms windows, dBFS; side = (L-R)/2)", -60, 0,
               {0, -12, -24, -36, -48, -60});
    const double seconds = std::max({input.seconds, output.seconds, 1e-9});
    for (int s = 0; s <= static_cast<int>(seconds); ++s) {
        const double x = level.x + level.w * s / seconds;
        setGrey(cr, 0.35);
        text(cr, x - 4, level.y + level.h + 16, std::to_string(s) + (s == 0 ? " s" : ""), 11);
    }
    auto levelX = [&](const Analysis& a) {
        return [&a, seconds](std::size_t i) { return (i + 0.5) * a.windowSeconds / seconds; };
    };
    cairo_set_source_rgba(cr, 0.55, 0.55, 0.55, 0.45);
    curve(cr, level, input.levelDb, levelX(input), -60, 0, true);
    cairo_set_source_rgb(cr, 0.1, 0.35, 0.85);
    cairo_set_line_width(cr, 1.3);
    curve(cr, level, output.levelDb, levelX(output), -60, 0, false);
    // Side level shows what a program does to the stereo image.
    const double dash[] = {4.0, 3.0};
    cairo_set_dash(cr, dash, 2, 0.0);
    cairo_set_source_rgba(cr, 0.4, 0.4, 0.4, 0.9);
    curve(cr, level, input.sideLevelDb, levelX(input), -60, 0, false);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    cairo_set_source_rgb(cr, 0.9, 0.45, 0.1);
    curve(cr, level, output.sideLevelDb, levelX(output), -60, 0, false);

    // Long-term spectrum on a log-frequency axis.
    const Rect spectrum{60, 420, kWidth - 90.0, 300};
    framePanel(cr, spectrum, "Long-term spectrum (dB, full-scale sine = 0)", -100, 0,
               {0, -20, -40, -60, -80, -100});
    const double lowHz = 20.0, highHz = std::max(input.sampleRate, output.sampleRate) / 2.0;
    auto freqX = [&](double hz) { return std::log(hz / lowHz) / std::log(highHz / lowHz); };
    for (double hz : {20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0}) {
        if (hz > highHz) break;
        const double x = spectrum.x + spectrum.w * freqX(hz);
        setGrey(cr, 0.88);
        cairo_move_to(cr, x, spectrum.y);
        cairo_line_to(cr, x, spectrum.y + spectrum.h);
        cairo_stroke(cr);
        setGrey(cr, 0.35);
        text(cr, x - 10, spectrum.y + spectrum.h + 16,
             hz >= 1000 ? std::to_string(static_cast<int>(hz / 1000)) + "k"
                        : std::to_string(static_cast<int>(hz)),
             11);
    }
    auto binX = [&](const Analysis& a) {
        return [&a, &freqX](std::size_t k) { return k == 0 ? -1.0 : freqX(k * a.binHz); };
    };
    cairo_set_source_rgba(cr, 0.55, 0.55, 0.55, 0.45);
    curve(cr, spectrum, input.spectrumDb, binX(input), -100, 0, true);
    cairo_set_source_rgb(cr, 0.1, 0.35, 0.85);
    cairo_set_line_width(cr, 1.3);
    curve(cr, spectrum, output.spectrumDb, binX(output), -100, 0, false);

    cairo_destroy(cr);
    TempFile temp(path);
    int fd = temp.fd();
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, writeToFd, &fd);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        throw ToolError(kExitWrite,
                        "cannot write '" + path + "': " + cairo_status_to_string(status));
    temp.commit();
}

}  // namespace qx::tool

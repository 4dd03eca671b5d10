// Renders one clip through every factory program of a plug-in into raw float32, and compares
// two such renders. Built for Linux and for Windows, so the .so and the .dll of a plug-in can
// be heard side by side: the clip is made once, on one side, and read by both.
//
//   render_clip clip <clip.f32>                       the demo piece, stereo, 44.1 kHz
//   render_clip render <plug-in> <clip.f32> <out.f32>
//   render_clip compare <a.f32> <b.f32> <tolerance>   exit 1 past the tolerance
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/qxhost/demo_clip.h"
#include "tools/vsthost/plugin_host.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr double kClipSeconds = 3.0;
constexpr int kBlockFrames = 512;

std::vector<float> readFloats(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> values(bytes.size() / sizeof(float));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
    return values;
}

bool writeFloats(const std::string& path, const std::vector<float>& values) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(values.data()),
              static_cast<std::streamsize>(values.size() * sizeof(float)));
    return static_cast<bool>(out);
}

// Stereo clip, interleaved.
int makeClip(const std::string& path) {
    const qx::tool::Audio clip = qx::tool::makeDemoClip(kSampleRate, kClipSeconds);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < clip.frames(); ++i)
        for (const auto& channel : clip.channels)
            interleaved.push_back(static_cast<float>(channel[i]));
    return writeFloats(path, interleaved) ? 0 : 1;
}

// Every program in a fresh instance, every output channel after the other.
int render(const std::string& pluginPath, const std::string& clipPath, const std::string& outPath) {
    const std::vector<float> interleaved = readFloats(clipPath);
    if (interleaved.empty()) {
        std::fprintf(stderr, "no clip in %s\n", clipPath.c_str());
        return 1;
    }
    std::vector<std::vector<float>> stereo(2, std::vector<float>(interleaved.size() / 2));
    for (std::size_t i = 0; i < stereo[0].size(); ++i) {
        stereo[0][i] = interleaved[2 * i];
        stereo[1][i] = interleaved[2 * i + 1];
    }
    std::vector<float> rendered;
    std::string error;
    auto probe = qx::host::Plugin::load(pluginPath, &error);
    if (!probe) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const int programs = probe->numPrograms();
    probe.reset();
    for (int program = 0; program < programs; ++program) {
        auto plugin = qx::host::Plugin::load(pluginPath, &error);
        if (!plugin) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        plugin->prepare(static_cast<float>(kSampleRate), kBlockFrames);
        plugin->setProgram(program);
        std::vector<std::vector<float>> in(plugin->numInputs());
        for (int c = 0; c < plugin->numInputs(); ++c) in[c] = stereo[c % 2];
        for (const auto& channel : plugin->run(in, kBlockFrames))
            rendered.insert(rendered.end(), channel.begin(), channel.end());
    }
    return writeFloats(outPath, rendered) ? 0 : 1;
}

int compare(const std::string& aPath, const std::string& bPath, double tolerance) {
    const std::vector<float> a = readFloats(aPath);
    const std::vector<float> b = readFloats(bPath);
    if (a.empty() || a.size() != b.size()) {
        std::fprintf(stderr, "lengths differ: %zu and %zu samples\n", a.size(), b.size());
        return 1;
    }
    double largest = 0.0;
    double squares = 0.0;
    std::size_t at = 0;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        // A non-finite sample on either side is a difference, however the other side reads.
        const double d = std::isfinite(a[i]) && std::isfinite(b[i])
                             ? std::fabs(static_cast<double>(a[i]) - b[i])
                             : INFINITY;
        if (a[i] != b[i]) ++differing;
        squares += std::isfinite(d) ? d * d : 0.0;
        if (!(d <= largest)) {
            largest = d;
            at = i;
        }
    }
    const double rms = std::sqrt(squares / static_cast<double>(a.size()));
    std::printf("%zu samples, %zu differ; largest difference %.3g (%.1f dBFS) at %zu; rms %.3g\n",
                a.size(), differing, largest, 20.0 * std::log10(largest + 1e-30), at, rms);
    return largest <= tolerance ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "clip" && argc == 3) return makeClip(argv[2]);
    if (command == "render" && argc == 5) return render(argv[2], argv[3], argv[4]);
    if (command == "compare" && argc == 5) return compare(argv[2], argv[3], std::atof(argv[4]));
    std::fprintf(stderr,
                 "usage: render_clip clip <clip.f32>\n"
                 "       render_clip render <plug-in> <clip.f32> <out.f32>\n"
                 "       render_clip compare <a.f32> <b.f32> <tolerance>\n");
    return 2;
}

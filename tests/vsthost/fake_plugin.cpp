// A minimal hand-written VST 2 plug-in with exactly predictable output, for host tests.
// Stereo; out[c][n] = sign * gain * in[swap ? 1-c : c][n - kLatency], gain = 2 * Gain.
// Each program owns its parameter values, as in the classic program model. Variants built
// with FAKE_* definitions exercise the loader's failure paths.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/vst2.h"

using namespace qx::vst;

namespace {

constexpr int kLatency = 32;
constexpr int kParams = 3;
constexpr int kPrograms = 4;
constexpr char kProgramNames[kPrograms][24] = {"Unity", "Half", "Swap", "Invert"};
constexpr float kProgramValues[kPrograms][kParams] = {
    {0.5f, 0.0f, 0.0f}, {0.25f, 0.0f, 0.0f}, {0.5f, 1.0f, 0.0f}, {0.5f, 0.0f, 1.0f}};
constexpr const char* kParamNames[kParams] = {"Gain", "Swap", "Invert"};

struct Fake {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    int current = 0;
    char names[kPrograms][24] = {};
    float values[kPrograms][kParams] = {};
    std::array<std::array<double, kLatency>, 2> delay{};
    int delayPos = 0;
    bool bypass = false;
    float peak = 0.0f;
    VstIntPtr hostVersionSeen = 0;
    VstIntPtr sampleRateSeen = 0;
    std::vector<float> chunk;

    template <typename T>
    void process(T** in, T** out, int frames, bool accumulate) {
        const float* v = values[current];
        const double gain = bypass ? 1.0 : 2.0 * v[0];
        const bool swap = !bypass && v[1] >= 0.5f;
        const double sign = (!bypass && v[2] >= 0.5f) ? -1.0 : 1.0;
        float blockPeak = 0.0f;
        for (int n = 0; n < frames; ++n) {
            double x[2] = {in[0][n], in[1][n]};
            double y[2];
            for (int c = 0; c < 2; ++c) {
                y[c] = delay[c][delayPos];
                delay[c][delayPos] = x[c];
            }
            delayPos = (delayPos + 1) % kLatency;
            for (int c = 0; c < 2; ++c) {
                const T o = static_cast<T>(sign * gain * y[swap ? 1 - c : c]);
                out[c][n] = accumulate ? out[c][n] + o : o;
                blockPeak = std::max(blockPeak, static_cast<float>(std::fabs(o)));
            }
        }
        peak = blockPeak;
    }
};

Fake* self(AEffect* e) {
    return static_cast<Fake*>(e->object);
}

void copyOut(void* ptr, const char* text, std::size_t size) {
    std::strncpy(static_cast<char*>(ptr), text, size - 1);
    static_cast<char*>(ptr)[size - 1] = '\0';
}

[[maybe_unused]] VstIntPtr dispatcher(AEffect* e, VstInt32 op, VstInt32 index, VstIntPtr value,
                                      void* ptr, float) {
    Fake* f = self(e);
    switch (op) {
        case effClose:
            if (const char* log = std::getenv("QX_FAKE_CLOSE_LOG")) {
                if (FILE* file = std::fopen(log, "a")) {
                    std::fputs("close\n", file);
                    std::fclose(file);
                }
            }
            delete f;
            return 1;
        case effSetProgram:
            if (value >= 0 && value < kPrograms) f->current = static_cast<int>(value);
            return 0;
        case effGetProgram:
            return f->current;
        case effSetProgramName:
            copyOut(f->names[f->current], static_cast<char*>(ptr), 24);
            return 0;
        case effGetProgramName:
            copyOut(ptr, f->names[f->current], 24);
            return 0;
        case effGetProgramNameIndexed:
            if (index < 0 || index >= kPrograms) return 0;
            copyOut(ptr, f->names[index], 24);
            return 1;
        case effGetParamName:
            if (index < 0 || index >= kParams) return 0;
            copyOut(ptr, kParamNames[index], 16);
            return 0;
        case effGetParamLabel:
            copyOut(ptr, index == 0 ? "x " : "", 8);
            return 0;
        case effGetParamDisplay: {
            if (index < 0 || index >= kParams) return 0;
            char text[16];
            const float v = f->values[f->current][index];
            if (index == 0)
                std::snprintf(text, sizeof text, "%.3f", 2.0 * v);
            else
                std::snprintf(text, sizeof text, "%s", v >= 0.5f ? "On" : "Off");
            copyOut(ptr, text, 16);
            return 0;
        }
        case effGetVu:
            return static_cast<VstIntPtr>(f->peak * 32767.0f);
        case effMainsChanged:
            if (value) {
                for (auto& line : f->delay) line.fill(0.0);
                f->delayPos = 0;
            }
            return 0;
        case effGetChunk: {
            f->chunk.clear();
            const int first = index == 1 ? f->current : 0;
            const int last = index == 1 ? f->current + 1 : kPrograms;
            for (int p = first; p < last; ++p)
                f->chunk.insert(f->chunk.end(), f->values[p], f->values[p] + kParams);
            *static_cast<void**>(ptr) = f->chunk.data();
            return static_cast<VstIntPtr>(f->chunk.size() * sizeof(float));
        }
        case effSetChunk: {
            const auto* data = static_cast<const float*>(ptr);
            const std::size_t count = static_cast<std::size_t>(value) / sizeof(float);
            if (index == 1 && count == kParams) {
                std::copy(data, data + kParams, f->values[f->current]);
                return 1;
            }
            if (index == 0 && count == kParams * kPrograms) {
                for (int p = 0; p < kPrograms; ++p)
                    std::copy(data + p * kParams, data + (p + 1) * kParams, f->values[p]);
                return 1;
            }
            return 0;
        }
        case effGetPlugCategory:
            return kPlugCategEffect;
        case effSetBypass:
            f->bypass = value != 0;
            return 1;
        case effGetEffectName:
            copyOut(ptr, "Fake Gain", 32);
            return 1;
        case effGetVendorString:
            copyOut(ptr, "QX Test", 64);
            return 1;
        case effGetProductString:
            copyOut(ptr, "Fake Gain Delay", 64);
            return 1;
        case effGetVendorVersion:
            return 1003;
        case effCanDo:
            return std::strcmp(static_cast<char*>(ptr), "bypass") == 0 ? 1 : 0;
        case effGetVstVersion:
            return kVstVersion;
        case effVendorSpecific:
            // Test hooks: 1 = host version seen while constructing, 2 = emit `value` edit
            // gestures, 3 = sample rate the host reported while constructing.
            if (index == 1) return f->hostVersionSeen;
            if (index == 3) return f->sampleRateSeen;
            if (index == 2) {
                for (VstIntPtr k = 0; k < value; ++k) {
                    const int param = static_cast<int>(k % kParams);
                    f->host(e, audioMasterBeginEdit, param, 0, nullptr, 0.0f);
                    f->host(e, audioMasterAutomate, param, 0, nullptr, 0.25f);
                    f->host(e, audioMasterEndEdit, param, 0, nullptr, 0.0f);
                }
                return 1;
            }
            return 0;
        default:
            return 0;
    }
}

[[maybe_unused]] void setParameter(AEffect* e, VstInt32 i, float v) {
    if (i >= 0 && i < kParams) self(e)->values[self(e)->current][i] = v;
}
[[maybe_unused]] float getParameter(AEffect* e, VstInt32 i) {
    return (i >= 0 && i < kParams) ? self(e)->values[self(e)->current][i] : 0.0f;
}
[[maybe_unused]] void processReplacing(AEffect* e, float** in, float** out, VstInt32 n) {
    self(e)->process(in, out, n, false);
}
[[maybe_unused]] void processAccumulating(AEffect* e, float** in, float** out, VstInt32 n) {
    self(e)->process(in, out, n, true);
}
[[maybe_unused]] void processDouble(AEffect* e, double** in, double** out, VstInt32 n) {
    self(e)->process(in, out, n, false);
}

AEffect* create(audioMasterCallback host) {
#if defined(FAKE_RETURNS_NULL)
    (void)host;
    return nullptr;
#else
    auto* f = new Fake;
    f->host = host;
    AEffect& e = f->effect;
    e.magic = kEffectMagic;
#if defined(FAKE_BAD_MAGIC)
    e.magic = fourCC('N', 'o', 'p', 'e');
#endif
    e.dispatcher = dispatcher;
    e.process = processAccumulating;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = processReplacing;
    e.processDoubleReplacing = processDouble;
    e.numPrograms = kPrograms;
    e.numParams = kParams;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks;
    e.initialDelay = kLatency;
    e.object = f;
    e.uniqueID = fourCC('Q', 'x', 'F', 'k');
    e.version = 7;
    for (int p = 0; p < kPrograms; ++p) {
        std::memcpy(f->names[p], kProgramNames[p], 24);
        std::memcpy(f->values[p], kProgramValues[p], sizeof f->values[p]);
    }
    // One call with no record yet and one with a record the host has not registered.
    f->hostVersionSeen = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    f->sampleRateSeen = host(&e, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
    return &e;
#endif
}

}  // namespace

#if defined(FAKE_NO_ENTRY)
extern "C" __attribute__((visibility("default"))) AEffect* notAnEntry(audioMasterCallback host) {
    return create(host);
}
#else
#if !defined(FAKE_MAIN_ONLY)
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return create(host);
}
#endif
extern "C" __attribute__((visibility("default"))) AEffect* fakeEntryAlias(
    audioMasterCallback host) __asm__("main");
AEffect* fakeEntryAlias(audioMasterCallback host) {
    return create(host);
}
#endif

// Measurements of rendered audio (peak, RMS, level over time, long-term spectrum) and the
// picture that compares an input with its output.
#pragma once

#include <string>
#include <vector>

#include "tools/qxhost/audio_file.h"

namespace qx::tool {

struct Analysis {
    double sampleRate = 44100.0;
    double seconds = 0.0;
    double peak = 0.0;  // linear, over all channels
    double rms = 0.0;   // linear, over all channels
    double windowSeconds = 0.02;
    std::vector<double> levelDb;      // RMS per window, channels averaged in power
    std::vector<double> sideLevelDb;  // RMS of (L - R) / 2 per window; empty unless stereo
    double binHz = 0.0;
    std::vector<double> spectrumDb;  // long-term average; a full-scale sine reads 0 dB
};

Analysis analyse(const Audio& audio);

// A PNG with two panels (level over time, long-term spectrum), input in grey and output in
// colour. Written through a temporary file; ToolError(kExitWrite) on failure.
void writeComparisonPng(const std::string& path, const std::string& title,
                        const std::string& subtitle, const Analysis& input, const Analysis& output);

}  // namespace qx::tool

// The hint line: the name of the touched parameter and its value, by display kind.
#pragma once

namespace qx {

enum class HintKind {
    ValueWithUnit,       // "%s %3.2f %s": name, lo + v (hi - lo), label
    Decibels,            // "%s %2.2f dB": name, 20 log10 of the display value
    OnOff,               // "%s On" above 0.5, else "%s Off"
    Integer,             // "%s %3.1d": name, display value truncated toward zero
    ValueThreeDecimals,  // "%s %3.3f %s"
};

constexpr int kHintSize = 64;

// Writes the line for normalised value v into `text` (kHintSize bytes).
void formatHint(HintKind kind, const char* name, const char* label, float lo, float hi, float v,
                char* text);

}  // namespace qx

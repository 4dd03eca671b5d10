#include "framework/editor/hint_line.h"

#include <cmath>
#include <cstdio>

namespace qx {

void formatHint(HintKind kind, const char* name, const char* label, float lo, float hi, float v,
                char* text) {
    const float d = lo + v * (hi - lo);
    switch (kind) {
        case HintKind::ValueWithUnit:
            std::snprintf(text, kHintSize, "%s %3.2f %s", name, d, label);
            break;
        case HintKind::Decibels:
            std::snprintf(text, kHintSize, "%s %2.2f dB", name, 20.0 * std::log10(d));
            break;
        case HintKind::OnOff:
            std::snprintf(text, kHintSize, d > 0.5f ? "%s On" : "%s Off", name);
            break;
        case HintKind::Integer:
            std::snprintf(text, kHintSize, "%s %3.1d", name, static_cast<int>(d));
            break;
        case HintKind::ValueThreeDecimals:
            std::snprintf(text, kHintSize, "%s %3.3f %s", name, d, label);
            break;
    }
}

}  // namespace qx

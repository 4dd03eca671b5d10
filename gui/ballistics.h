// How a shown level follows its readings: at once in one direction, at a set speed per
// second in the other, so meters move alike whatever the host's idle rate.
#pragma once

#include <algorithm>
#include <cmath>

namespace qx::gui {

struct Ballistics {
    enum class Unit {
        Linear,   // the rate is in value units per second
        Decibel,  // the value is a linear amplitude; the rate is in dB per second
    };
    // Positive: rises at once, falls back at this rate (levels). Negative: drops at once and
    // rises back at the magnitude of the rate (gain reduction). 0: follows at once.
    float ratePerSecond = 0.0f;
    Unit unit = Unit::Linear;

    // The value to show `seconds` after `shown` was shown, for the new `reading`.
    float next(float shown, float reading, double seconds) const {
        if (ratePerSecond == 0.0f || !std::isfinite(shown)) return reading;
        const double travel = std::abs(ratePerSecond) * std::max(seconds, 0.0);
        const bool falls = ratePerSecond > 0.0f;
        if (falls ? reading >= shown : reading <= shown) return reading;
        double moved;
        if (unit == Unit::Linear) {
            moved = falls ? shown - travel : shown + travel;
        } else {
            if (shown <= 0.0f) return reading;  // no dB to move from
            const double factor = std::pow(10.0, travel / 20.0);
            moved = falls ? shown / factor : shown * factor;
        }
        return falls ? std::max(reading, static_cast<float>(moved))
                     : std::min(reading, static_cast<float>(moved));
    }
};

}  // namespace qx::gui

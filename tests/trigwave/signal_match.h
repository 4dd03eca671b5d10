// Test helper: the delay at which an output best matches its input.
#pragma once

#include <cmath>
#include <vector>

namespace qx::testing {

// The lag in from..to at which y best matches x over y[begin .. begin + length) (normalised
// cross-correlation; x must reach back to begin - to).
inline int bestLag(const std::vector<float>& y, const std::vector<float>& x, int from, int to,
                   int begin, int length) {
    int best = from;
    double bestScore = -1e300;
    for (int lag = from; lag <= to; ++lag) {
        double xy = 0.0, xx = 1e-30;
        for (int i = begin; i < begin + length; ++i) {
            xy += static_cast<double>(y[i]) * x[i - lag];
            xx += static_cast<double>(x[i - lag]) * x[i - lag];
        }
        const double score = xy / std::sqrt(xx);
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

}  // namespace qx::testing

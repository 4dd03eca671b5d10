// Level setting of the noise source.
#include "dsp/noise_source.h"

#include <cmath>

namespace qx {

void NoiseSource::setLevel(float levelDb) {
    amp_ = static_cast<float>(std::pow(10.0, levelDb * 0.05) * 0.0078125);
}

}  // namespace qx

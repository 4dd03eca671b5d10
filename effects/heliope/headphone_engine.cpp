// Construction of the stereo headphone renderer.
#include "effects/heliope/headphone_engine.h"

namespace qx {

HeadphoneEngine::HeadphoneEngine()
    : HeadphoneRenderer(Layout{2, 2, {&kFrontHead, &kFrontHead}, &kStereoCabinets, -1, false}) {}

}  // namespace qx

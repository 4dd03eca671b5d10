// Construction of the 5.1 headphone renderer.
#include "effects/heliope/surround_headphone_engine.h"

namespace qx {

SurroundHeadphoneEngine::SurroundHeadphoneEngine()
    : HeadphoneRenderer(Layout{6,
                               4,
                               {&kFrontHead, &kFrontHead, &kSurroundHead, &kSurroundHead},
                               &kSurroundCabinets,
                               kLfe,
                               true}) {}

}  // namespace qx

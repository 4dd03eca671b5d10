// The red_thuddo_alt skin: copper accent; with the side chain on, input 2 keys input 1.
#include "resources/red_thuddo/compressor_skin.h"

namespace qx::skin {

SkinDescription describeSkin() {
    return describeCompressorSkin("red_thuddo_alt", "COMPRESSOR  ALT", {0.88, 0.52, 0.30},
                                  "Side chain on: programme on input 1, key on input 2.");
}

}  // namespace qx::skin

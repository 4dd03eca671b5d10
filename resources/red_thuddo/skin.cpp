// The red_thuddo skin: red accent, side chain on inputs 3-4.
#include "resources/red_thuddo/compressor_skin.h"

namespace qx::skin {

SkinDescription describeSkin() {
    return describeCompressorSkin("red_thuddo", "COMPRESSOR", {0.86, 0.22, 0.18},
                                  "Programme on inputs 1-2, side chain on inputs 3-4.");
}

}  // namespace qx::skin

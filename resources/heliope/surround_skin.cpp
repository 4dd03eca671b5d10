// The heliope_surround skin: rose accent and the 5.1 menus on the headphone renderers' shared
// panel.
#include "resources/heliope/renderer_skin.h"

namespace qx::skin {

SkinDescription describeSkin() {
    return renderer::describe("heliope_surround", "HELIOPE 5.1", "SURROUND HEADPHONE RENDERER",
                              {0.93, 0.45, 0.66}, heliope::kSurroundLayout);
}

}  // namespace qx::skin

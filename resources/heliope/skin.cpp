// The heliope skin: violet accent on the headphone renderers' shared panel.
#include "resources/heliope/renderer_skin.h"

namespace qx::skin {

SkinDescription describeSkin() {
    return renderer::describe("heliope", "HELIOPE", "HEADPHONE RENDERER", {0.64, 0.52, 0.96},
                              heliope::kLayout);
}

}  // namespace qx::skin

// The editors of the two builds: the same editor with each build's skin and accent. A module
// uses one of them, so only its own skin is linked in.
#pragma once

#include "effects/red_thuddo/compressor_editor.h"
#include "skins/red_thuddo.h"
#include "skins/red_thuddo_alt.h"

namespace qx {

template <const gui::ResourceSet& (*Skin)(), gui::CColor Accent>
class CompressorBuildEditor : public CompressorEditor {
  public:
    static constexpr gui::CColor kAccent = Accent;
    explicit CompressorBuildEditor(CompressorEffect* effect)
        : CompressorEditor(effect, description(), Accent) {}

  private:
    static const EditorDescription& description() {
        static const EditorDescription d = compressorEditorDescription(Skin(), Accent);
        return d;
    }
};

using RedThuddoEditor = CompressorBuildEditor<skins::red_thuddo, gui::CColor{236, 86, 70}>;
using RedThuddoAltEditor = CompressorBuildEditor<skins::red_thuddo_alt, gui::CColor{232, 144, 88}>;

}  // namespace qx

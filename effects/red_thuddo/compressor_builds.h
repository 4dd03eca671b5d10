// The editors of the two builds: the same editor with each build's skin and accent. A module
// uses one of them, so only its own skin is linked in.
#pragma once

#include "effects/red_thuddo/compressor_editor.h"
#include "skins/red_thuddo.h"
#include "skins/red_thuddo_alt.h"

namespace qx {

class RedThuddoEditor : public CompressorEditor {
  public:
    static constexpr gui::CColor kAccent{236, 86, 70};
    explicit RedThuddoEditor(CompressorEffect* effect)
        : CompressorEditor(effect, description(), kAccent) {}

  private:
    static const EditorDescription& description() {
        static const EditorDescription d =
            compressorEditorDescription(skins::red_thuddo(), kAccent);
        return d;
    }
};

class RedThuddoAltEditor : public CompressorEditor {
  public:
    static constexpr gui::CColor kAccent{232, 144, 88};
    explicit RedThuddoAltEditor(CompressorEffect* effect)
        : CompressorEditor(effect, description(), kAccent) {}

  private:
    static const EditorDescription& description() {
        static const EditorDescription d =
            compressorEditorDescription(skins::red_thuddo_alt(), kAccent);
        return d;
    }
};

}  // namespace qx

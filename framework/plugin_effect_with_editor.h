// The class a host receives: the deliverable's effect plus its editor, which follows
// every parameter change whether it comes from the host, a program or the editor.
#pragma once

#include <new>
#include <type_traits>

#include "framework/aeff_editor.h"
#include "framework/entry.h"

namespace qx {

// Editor parameter for a deliverable that has no editor yet.
struct NoEditor {};

template <class Effect, class Editor = NoEditor>
class PluginEffectWithEditor : public Effect {
  public:
    explicit PluginEffectWithEditor(vst::audioMasterCallback host) : Effect(host) {
        if constexpr (!std::is_same_v<Editor, NoEditor>) {
            // The editor attaches itself to the effect in its constructor.
            if (!new (std::nothrow) Editor(this)) constructionFailed = true;
        }
    }

    // Any thread. The editor gets what the effect kept: a value held to its range, or the
    // unchanged setting when the value was refused.
    void setParameter(int index, float value) override {
        Effect::setParameter(index, value);
        if (index < 0 || index >= this->numParams()) return;
        if (AEffEditor* editor = this->getEditor())
            editor->setParameter(index, this->getParameter(index));
    }
};

// createEffectInstance for a deliverable: QX_DEFINE_PLUGIN(LofiEffect, LofiEditor).
#define QX_DEFINE_PLUGIN(...)                                                \
    namespace qx {                                                           \
    AudioEffect* createEffectInstance(vst::audioMasterCallback host) {       \
        return new (std::nothrow) PluginEffectWithEditor<__VA_ARGS__>(host); \
    }                                                                        \
    }

}  // namespace qx

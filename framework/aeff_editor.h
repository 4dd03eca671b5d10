// The editor base the effect forwards its editor opcodes to. The operations and their
// order follow the VST 2.4 editor base; the toolkit-based editor builds on it.
#pragma once

#include "framework/audio_effect.h"
#include "framework/vst2.h"

namespace qx {

class AEffEditor {
  public:
    // Attaches to the effect: sets its editor pointer and effFlagsHasEditor.
    explicit AEffEditor(AudioEffect* effect);
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual AudioEffect* getEffect() { return effect_; }
    // Hands the host a pointer to the editor rectangle; valid before open too.
    virtual bool getRect(vst::ERect** rect);
    // parentWindow: the host's window (an X11 window id cast to a pointer on Linux).
    virtual bool open(void* parentWindow);
    virtual void close();
    virtual bool isOpen() { return systemWindow_ != nullptr; }
    // Host user-interface thread, every 20..50 ms while open.
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& /*key*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*key*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(int /*mode*/) { return false; }
    // Called by the effect after every parameter change, from any thread.
    virtual void setParameter(int /*index*/, float /*value*/) {}
    virtual void beginEdit(int index);
    virtual void endEdit(int index);

  protected:
    AudioEffect* effect_;
    void* systemWindow_ = nullptr;
    vst::ERect rect_{0, 0, 0, 0};
};

}  // namespace qx

// The toolkit-based editor base: owns the background bitmap from construction, a frame and
// one decoded copy of each other bitmap while open, and turns the host's editor opcodes into
// frame calls. All of it runs on the host's user-interface thread, except setParameter (see
// PluginEditor).
#pragma once

#include <memory>

#include "framework/aeff_editor.h"
#include "gui/bitmap.h"
#include "gui/frame.h"
#include "gui/resources.h"

namespace qx {

class AEffGUIEditor : public AEffEditor {
  public:
    // Attaches to the effect and loads the background (resource 1024), whose size is the
    // editor rectangle; a missing background leaves an empty 0 x 0 editor.
    AEffGUIEditor(AudioEffect* effect, const gui::ResourceSet& resources);
    ~AEffGUIEditor() override;

    static constexpr int kBackgroundBitmap = 1024;

    // Stores the parent; a subclass then builds its frame (createFrame) and opens it.
    bool open(void* parentWindow) override;
    // Deletes the frame, its controls and the bitmaps they hold.
    void close() override;
    // Window events and redraws of the frame; nothing while closed.
    void idle() override;

    gui::CFrame* getFrame() const { return frame_.get(); }
    const gui::ResourceSet& resources() const { return resources_; }
    // The editor's copy of a bitmap resource, decoded on first use while open (the
    // background always); null when the resource is missing, and the control that gets it
    // then draws nothing.
    gui::BitmapRef loadBitmap(int id);
    // Resources decoded since the editor was last opened (each once).
    int bitmapDecodes() const { return bitmaps_.decodes(); }

  protected:
    // A frame of the editor's size with the background, not yet shown.
    gui::CFrame* createFrame();
    // Shows the frame in the parent window given to open. False (and the frame deleted)
    // when no window can be made.
    bool showFrame();

  private:
    gui::ResourceSet resources_;
    gui::BitmapRef background_;
    gui::CBitmapCache bitmaps_;
    std::unique_ptr<gui::CFrame> frame_;
};

}  // namespace qx

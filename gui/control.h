// Controls: views with a tag, a value and a listener that hears every user change.
#pragma once

#include <atomic>

#include "gui/input.h"
#include "gui/view.h"

namespace qx::gui {

class CControl;

class CControlListener {
  public:
    virtual ~CControlListener() = default;
    // UI thread: the user changed the control's value (or clicked a command control).
    virtual void controlChanged(CControl* control) = 0;
    // UI thread: a gesture (drag, click, wheel notch) starts / ends; hosts record the
    // changes in between as one edit.
    virtual void controlBeginEdit(CControl* /*control*/) {}
    virtual void controlEndEdit(CControl* /*control*/) {}
    // UI thread: the control now edits another parameter (a page switched families); the
    // listener re-binds it and gives it that parameter's value.
    virtual void controlTagChanged(CControl* /*control*/, int /*previousTag*/) {}
};

class CControl : public CView {
  public:
    CControl(const CRect& size, CControlListener* listener, int tag,
             BitmapRef background = nullptr);

    int getTag() const { return tag_; }
    // UI thread: binds the control to another tag and tells the listener. An edit in
    // progress is ended first, under the old tag.
    void setTag(int tag);
    void setListener(CControlListener* listener) { listener_ = listener; }
    CControlListener* getListener() const { return listener_; }

    // Any thread: stores the value, clamped to min..max, and marks the control dirty when it
    // changed. Drawing waits for the UI thread's idle.
    virtual void setValue(float value);
    float getValue() const { return value_.load(std::memory_order_relaxed); }
    void setMin(float value) { min_ = value; }
    void setMax(float value) { max_ = value; }
    float getMin() const { return min_; }
    float getMax() const { return max_; }
    void setDefaultValue(float value) { default_ = value; }
    float getDefaultValue() const { return default_; }

    // UI thread: a user change, told to the listener.
    void valueChanged();
    void beginEdit();
    void endEdit();
    bool isEditing() const { return editing_; }

  protected:
    // Input shared by the dragged controls. beginPress opens the gesture of a press; with
    // Ctrl it returns the control to its default and closes the gesture at once (true).
    bool beginPress(const MouseState& state);
    // A wheel gesture: `notches` move the position (0..1 over min..max), Shift finer.
    void wheelGesture(float notches, const MouseState& state);
    // The value as a position 0..1 over min..max, and back as a user change.
    float position01() const { return (getValue() - min_) / (max_ - min_); }
    void userSetPosition(float position) { userSetValue(min_ + position * (max_ - min_)); }

    // Sets the value from user input and tells the listener, if it changed; only inside a
    // gesture (between beginEdit and endEdit).
    void userSetValue(float value);

    CControlListener* listener_;
    int tag_;
    float min_ = 0.0f;
    float max_ = 1.0f;
    float default_ = 0.5f;

  private:
    std::atomic<float> value_{0.0f};
    bool editing_ = false;
};

}  // namespace qx::gui

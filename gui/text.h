// Text controls: parameter displays, labels (optionally clickable) and option menus.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/control.h"

namespace qx::gui {

constexpr int kDisplayTextSize = 64;

// Writes the text for a value into a buffer of kDisplayTextSize bytes.
using ValueToString = std::function<void(float value, char* text)>;

struct TextStyle {
    CFont font;
    CColor color{220, 222, 226};
    CColor back{0, 0, 0, 0};   // alpha 0: transparent, the skin shows through
    CColor frame{0, 0, 0, 0};  // alpha 0: no frame
    TextAlign align = TextAlign::Center;
};

// Shows the control's value as text; the text is made when drawn, on the UI thread, so a
// value set from another thread needs no lock.
class CParamDisplay : public CControl {
  public:
    CParamDisplay(const CRect& size, CControlListener* listener = nullptr, int tag = -1,
                  BitmapRef background = nullptr);

    void setValueToString(ValueToString convert) { convert_ = std::move(convert); }
    void setStyle(const TextStyle& style) { style_ = style; }
    const TextStyle& style() const { return style_; }
    // The text for the current value (UI thread).
    virtual std::string text() const;
    void draw(CDrawContext& context) override;

  protected:
    TextStyle style_;
    ValueToString convert_;
};

// A display whose value passes through a conversion before it becomes text (identity by
// default).
class CCallbackDisplay : public CParamDisplay {
  public:
    using Convert = std::function<float(float)>;
    CCallbackDisplay(const CRect& size, Convert convert, CControlListener* listener = nullptr,
                     int tag = -1, BitmapRef background = nullptr);
    std::string text() const override;
    // The converted value.
    float displayedValue() const;

  private:
    Convert convertValue_;
};

// Fixed text, set by the editor on the UI thread. A clickable label tells its listener
// (controlChanged) on a press, for command tags.
class CTextLabel : public CParamDisplay {
  public:
    CTextLabel(const CRect& size, const char* text = "", BitmapRef background = nullptr);
    void setText(const std::string& text);
    std::string text() const override { return text_; }
    void setClickable(CControlListener* listener, int tag);
    bool onMouseDown(CPoint where, const MouseState& state) override;

  private:
    std::string text_;
};

// Held peaks in dB (one or two channels) that a press clears. The press also tells the
// listener (controlChanged) under the control's command tag, so an editor can clear holds
// kept elsewhere (an engine's) as well.
class CPeakHoldReadout : public CTextLabel {
  public:
    static constexpr int kMaxChannels = 2;
    // Writes the text for the held linear peaks and the offset (kDisplayTextSize bytes).
    using Format = std::function<void(const float* held, int channels, float offsetDb, char* text)>;

    CPeakHoldReadout(const CRect& size, CControlListener* listener, int tag, int channels = 1,
                     BitmapRef background = nullptr);

    // UI thread: keeps the larger of the held peak and `linear`.
    void feed(int channel, float linear);
    // UI thread: shows `linear` as the held peak (for holds kept by the engine).
    void setHeld(int channel, float linear);
    float held(int channel) const;
    // Added to the dB shown, for example the reference of a K scale.
    void setOffsetDb(float db);
    // Replaces the default text: "%2.1f dB" per channel ("-inf dB" for silence), the
    // channels separated by a space.
    void setFormat(Format format);
    void clear();
    std::string text() const override;
    bool onMouseDown(CPoint where, const MouseState& state) override;

  private:
    float held_[kMaxChannels] = {};
    int channels_;
    float offsetDb_ = 0.0f;
    Format format_;
};

// Shows the current entry; a click opens the list. The value is the entry index, 0..n-1.
class COptionMenu : public CParamDisplay {
  public:
    COptionMenu(const CRect& size, CControlListener* listener, int tag,
                BitmapRef background = nullptr);
    void addEntry(const std::string& text);
    int numEntries() const { return static_cast<int>(entries_.size()); }
    int currentIndex() const;
    std::string text() const override;
    bool onMouseDown(CPoint where, const MouseState& state) override;
    // Sets the value to `index` as a user choice (begin, change, end edit).
    void choose(int index);

  private:
    std::vector<std::string> entries_;
};

}  // namespace qx::gui

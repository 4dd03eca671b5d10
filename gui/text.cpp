#include "gui/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gui/frame.h"

namespace qx::gui {

CParamDisplay::CParamDisplay(const CRect& size, CControlListener* listener, int tag,
                             BitmapRef background)
    : CControl(size, listener, tag, std::move(background)) {
    setMouseEnabled(false);
}

std::string CParamDisplay::text() const {
    char buffer[kDisplayTextSize] = {};
    if (convert_)
        convert_(getValue(), buffer);
    else
        std::snprintf(buffer, sizeof buffer, "%2.2f", getValue());
    buffer[kDisplayTextSize - 1] = 0;
    return buffer;
}

void CParamDisplay::draw(CDrawContext& context) {
    if (style_.back.a) context.fillRect(size_, style_.back);
    CView::draw(context);
    if (style_.frame.a) context.frameRect(size_, style_.frame);
    const std::string shown = text();
    CRect area = size_;
    if (style_.align == TextAlign::Left) area.left += 2;
    if (style_.align == TextAlign::Right) area.right -= 2;
    context.drawString(shown.c_str(), area, style_.font, style_.color, style_.align);
}

CCallbackDisplay::CCallbackDisplay(const CRect& size, Convert convert, CControlListener* listener,
                                   int tag, BitmapRef background)
    : CParamDisplay(size, listener, tag, std::move(background)),
      convertValue_(std::move(convert)) {}

float CCallbackDisplay::displayedValue() const {
    return convertValue_ ? convertValue_(getValue()) : getValue();
}

std::string CCallbackDisplay::text() const {
    char buffer[kDisplayTextSize] = {};
    const float shown = displayedValue();
    if (convert_)
        convert_(shown, buffer);
    else
        std::snprintf(buffer, sizeof buffer, "%2.2f", shown);
    buffer[kDisplayTextSize - 1] = 0;
    return buffer;
}

CTextLabel::CTextLabel(const CRect& size, const char* text, BitmapRef background)
    : CParamDisplay(size, nullptr, -1, std::move(background)), text_(text ? text : "") {}

void CTextLabel::setText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    setDirty();
}

void CTextLabel::setClickable(CControlListener* listener, int tag) {
    listener_ = listener;
    tag_ = tag;
    setMouseEnabled(listener != nullptr);
}

bool CTextLabel::onMouseDown(CPoint /*where*/, const MouseState& /*state*/) {
    valueChanged();
    return false;
}

CPeakHoldReadout::CPeakHoldReadout(const CRect& size, CControlListener* listener, int tag,
                                   int channels, BitmapRef background)
    : CTextLabel(size, "", std::move(background)),
      channels_(std::clamp(channels, 1, kMaxChannels)) {
    setClickable(listener, tag);
}

void CPeakHoldReadout::feed(int channel, float linear) {
    if (channel < 0 || channel >= channels_ || !std::isfinite(linear)) return;
    if (std::abs(linear) > held_[channel]) setHeld(channel, std::abs(linear));
}

void CPeakHoldReadout::setHeld(int channel, float linear) {
    if (channel < 0 || channel >= channels_ || !std::isfinite(linear)) return;
    if (held_[channel] == linear) return;
    held_[channel] = linear;
    setDirty();
}

float CPeakHoldReadout::held(int channel) const {
    return channel >= 0 && channel < channels_ ? held_[channel] : 0.0f;
}

void CPeakHoldReadout::setOffsetDb(float db) {
    if (!std::isfinite(db) || db == offsetDb_) return;
    offsetDb_ = db;
    setDirty();
}

void CPeakHoldReadout::setFormat(Format format) {
    format_ = std::move(format);
    setDirty();
}

void CPeakHoldReadout::clear() {
    for (int c = 0; c < channels_; ++c) setHeld(c, 0.0f);
}

std::string CPeakHoldReadout::text() const {
    char buffer[kDisplayTextSize] = {};
    if (format_) {
        format_(held_, channels_, offsetDb_, buffer);
        buffer[kDisplayTextSize - 1] = 0;
        return buffer;
    }
    std::string out;
    for (int c = 0; c < channels_; ++c) {
        if (held_[c] > 0.0f)
            std::snprintf(buffer, sizeof buffer, "%2.1f dB",
                          20.0 * std::log10(held_[c]) + offsetDb_);
        else
            std::snprintf(buffer, sizeof buffer, "-inf dB");
        if (c > 0) out += ' ';
        out += buffer;
    }
    return out;
}

bool CPeakHoldReadout::onMouseDown(CPoint /*where*/, const MouseState& /*state*/) {
    clear();
    valueChanged();
    return false;
}

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, int tag,
                         BitmapRef background)
    : CParamDisplay(size, listener, tag, std::move(background)) {
    setMouseEnabled(true);
    setMax(0.0f);
    setDefaultValue(0.0f);
}

void COptionMenu::addEntry(const std::string& text) {
    entries_.push_back(text);
    setMax(static_cast<float>(entries_.size() - 1));
    setDirty();
}

int COptionMenu::currentIndex() const {
    const int index = static_cast<int>(std::lround(getValue()));
    return index >= 0 && index < numEntries() ? index : -1;
}

std::string COptionMenu::text() const {
    const int index = currentIndex();
    return index >= 0 ? entries_[static_cast<size_t>(index)] : std::string();
}

bool COptionMenu::onMouseDown(CPoint /*where*/, const MouseState& /*state*/) {
    CFrame* frame = getFrame();
    if (!frame || entries_.empty()) return false;
    PopupList list;
    list.entries = entries_;
    list.selected = currentIndex();
    // The frame closes the list before it deletes its views, so `this` outlives the call.
    list.onChoose = [this](int index) { choose(index); };
    frame->openPopup(std::move(list), size_);
    return false;
}

void COptionMenu::choose(int index) {
    if (index < 0 || index >= numEntries()) return;
    beginEdit();
    userSetValue(static_cast<float>(index));
    endEdit();
}

}  // namespace qx::gui

#include "gui/page_container.h"

namespace qx::gui {

CPageContainer::CPageContainer(const CRect& size, int firstTag)
    : CViewContainer(size), firstTag_(firstTag) {}

void CPageContainer::bindSlot(CControl* control, int slot) {
    if (!control || slot < 0) return;
    slots_.emplace_back(control, slot);
    control->setTag(firstTag_ + slot);
}

void CPageContainer::bindBands(CBandView* bands) {
    if (!bands) return;
    for (int band = 0; band < bands->maxBands(); ++band) bindSlot(bands->bar(band), band);
}

void CPageContainer::showFamily(int firstTag) {
    if (firstTag == firstTag_) return;
    firstTag_ = firstTag;
    for (const auto& [control, slot] : slots_) control->setTag(firstTag + slot);
}

}  // namespace qx::gui

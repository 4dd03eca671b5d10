// A page of controls bound to one parameter family at a time: each bound control edits the
// parameter first tag + its slot, and showing another family re-tags them all. The
// controls' listener (the editor) re-binds them, so values and hint texts follow the new
// parameters (for band pages: one family of per-band parameters at a time).
#pragma once

#include <utility>
#include <vector>

#include "gui/band_view.h"
#include "gui/view.h"

namespace qx::gui {

class CPageContainer : public CViewContainer {
  public:
    // `firstTag`: the family shown at first; the controls bound later carry its tags.
    CPageContainer(const CRect& size, int firstTag);

    // UI thread: `control` (anywhere in the page) edits slot `slot` of the family shown; its
    // tag becomes first tag + slot.
    void bindSlot(CControl* control, int slot);
    // Every bar of `bands` as slots 0 .. maxBands - 1.
    void bindBands(CBandView* bands);
    // UI thread: shows the family whose first parameter is `firstTag`.
    void showFamily(int firstTag);
    int family() const { return firstTag_; }

  private:
    std::vector<std::pair<CControl*, int>> slots_;
    int firstTag_;
};

}  // namespace qx::gui

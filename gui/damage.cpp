#include "gui/damage.h"

namespace qx::gui {

namespace {

// Pixels a union of a and b paints that neither needed.
long waste(const CRect& a, const CRect& b) {
    return a.united(b).area() - a.area() - b.area() + a.intersection(b).area();
}

bool worthMerging(const CRect& a, const CRect& b) {
    const CRect both = a.united(b);
    return 4 * waste(a, b) <= both.area();
}

}  // namespace

void CDamageList::add(const CRect& area) {
    if (area.empty()) return;
    CRect pending = area;
    for (bool merged = true; merged;) {
        merged = false;
        for (int i = 0; i < count_; ++i) {
            const CRect& existing = rects_[static_cast<size_t>(i)];
            if (existing.encloses(pending)) return;
            if (pending.encloses(existing) || worthMerging(existing, pending)) {
                // The union may now reach others: start over with it.
                pending = pending.united(existing);
                removeAt(i);
                merged = true;
                break;
            }
        }
    }
    rects_[static_cast<size_t>(count_++)] = pending;
    if (count_ > kMaxRects) mergeCheapestPair();
}

void CDamageList::mergeCheapestPair() {
    int bestA = 0, bestB = 1;
    long best = -1;
    for (int a = 0; a < count_; ++a) {
        for (int b = a + 1; b < count_; ++b) {
            const long w = waste(rects_[static_cast<size_t>(a)], rects_[static_cast<size_t>(b)]);
            if (best < 0 || w < best) {
                best = w;
                bestA = a;
                bestB = b;
            }
        }
    }
    const CRect merged =
        rects_[static_cast<size_t>(bestA)].united(rects_[static_cast<size_t>(bestB)]);
    removeAt(bestB);  // bestB > bestA: removing it leaves bestA in place
    removeAt(bestA);
    add(merged);
}

long CDamageList::area() const {
    long total = 0;
    for (const CRect& r : *this) total += r.area();
    return total;
}

CRect CDamageList::bounds() const {
    CRect all;
    for (const CRect& r : *this) all = all.united(r);
    return all;
}

bool CDamageList::intersects(const CRect& area) const {
    for (const CRect& r : *this)
        if (r.intersects(area)) return true;
    return false;
}

}  // namespace qx::gui

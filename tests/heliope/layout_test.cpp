// The editor layouts of both renderers: every parameter has exactly one control, the menus
// list every entry of their parameter, and no two controls overlap or leave the background.
#include <gtest/gtest.h>

#include <span>

#include "effects/heliope/heliope_surround_tables.h"
#include "resources/heliope/heliope_layout.h"

namespace qx {
namespace {

int countEntries(const char* const* entries) {
    int n = 0;
    while (entries && entries[n]) ++n;
    return n;
}

void checkLayout(std::span<const gui::ControlLayout> layout, const EffectDescription& d) {
    const ParameterTable& p = d.parameters;
    for (int tag = 0; tag < p.count; ++tag) {
        int controls = 0;
        for (const gui::ControlLayout& row : layout) {
            if (row.tag != tag) continue;
            ++controls;
            const bool menu = row.kind == gui::ControlKind::OptionMenu;
            EXPECT_EQ(menu, p.menuEntriesOf(tag) > 0) << tag;
            if (menu) {
                EXPECT_EQ(countEntries(row.entries), p.menuEntriesOf(tag)) << tag;
            }
        }
        EXPECT_EQ(controls, 1) << "parameter " << tag;
    }
    for (size_t i = 0; i < layout.size(); ++i) {
        const gui::ControlLayout& a = layout[i];
        EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= heliope::kWidth &&
                    a.y + a.height <= heliope::kHeight)
            << i;
        for (size_t j = i + 1; j < layout.size(); ++j) {
            const gui::ControlLayout& b = layout[j];
            const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x ||
                               a.y + a.height <= b.y || b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << "rows " << i << " and " << j;
        }
    }
}

TEST(RendererLayout, EveryParameterOnceWithinTheBackgroundAndApart) {
    {
        SCOPED_TRACE("heliope");
        checkLayout(heliope::kLayout, kHeliopeDescription);
    }
    {
        SCOPED_TRACE("heliope_surround");
        checkLayout(heliope::kSurroundLayout, kHeliopeSurroundDescription);
    }
    for (const gui::ControlLayout& row : heliope::kSurroundLayout) {
        if (row.tag == kSurroundCabinet) {
            EXPECT_STREQ(row.entries[12], "Sub / sat (low-end)");
        }
    }
}

}  // namespace
}  // namespace qx

// The painted skins against the layouts that use them: every bitmap a row names is embedded,
// decodes, and has the size the control draws it at (filmstrips: one frame per step).
#include <gtest/gtest.h>

#include <span>
#include <string>

#include "gui/bitmap.h"
#include "resources/eraslip/eraslip_layout.h"
#include "resources/palisor/palisor_layout.h"
#include "skins/eraslip.h"
#include "skins/palisor.h"

namespace qx::gui {
namespace {

void checkSkin(const ResourceSet& resources, std::span<const ControlLayout> layout, int width,
               int height) {
    const BitmapRef background = loadBitmap(resources, 1024);
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->width(), width);
    EXPECT_EQ(background->height(), height);
    for (int i = 0; i < resources.count; ++i) {
        const Resource& r = resources.entries[i];
        const BitmapRef bitmap = loadBitmap(resources, r.id);
        ASSERT_NE(bitmap, nullptr) << r.id;
        EXPECT_EQ(bitmap->width(), r.width) << r.id;
        EXPECT_EQ(bitmap->height(), r.height) << r.id;
    }
    for (const ControlLayout& row : layout) {
        const std::string where = "row at " + std::to_string(row.x) + "," + std::to_string(row.y);
        EXPECT_LE(row.x + row.width, width) << where;
        EXPECT_LE(row.y + row.height, height) << where;
        const BitmapRef first = row.bitmap ? loadBitmap(resources, row.bitmap) : nullptr;
        const BitmapRef second = row.bitmap2 ? loadBitmap(resources, row.bitmap2) : nullptr;
        if (row.bitmap) {
            ASSERT_NE(first, nullptr) << where;
        }
        if (row.bitmap2) {
            ASSERT_NE(second, nullptr) << where;
        }
        switch (row.kind) {
            case ControlKind::AnimKnob:
            case ControlKind::ExpKnob:
            case ControlKind::MovieBitmap:
                EXPECT_EQ(first->width(), row.width) << where;
                EXPECT_EQ(first->height(), row.height * row.frames) << where;
                break;
            case ControlKind::MovieButton:
                EXPECT_EQ(first->width(), row.width) << where;
                EXPECT_EQ(first->height(), 2 * row.height) << where;
                break;
            case ControlKind::VSlider:
            case ControlKind::HSlider:
                EXPECT_EQ(first->width(), row.width) << where;
                EXPECT_EQ(first->height(), row.height) << where;
                EXPECT_LE(second->width(), row.width) << where;
                EXPECT_LE(second->height(), row.height) << where;
                break;
            case ControlKind::FallOffMeter:
            case ControlKind::KScaleMeter:
            case ControlKind::BitmapView:
                EXPECT_GE(first->width(), row.width) << where;
                EXPECT_EQ(first->height(), row.height) << where;
                if (second) {
                    EXPECT_EQ(second->height(), row.height) << where;
                }
                break;
            default:
                // Text controls draw their background clipped; a strip wider is fine.
                if (first) {
                    EXPECT_GE(first->height(), row.height) << where;
                }
                break;
        }
    }
}

TEST(Skins, EveryBitmapOfTheLayoutsIsPaintedAtItsSize) {
    checkSkin(skins::eraslip(), eraslip::kLayout, eraslip::kWidth, eraslip::kHeight);
    checkSkin(skins::palisor(), palisor::kLayout, palisor::kWidth, palisor::kHeight);
    // The palisor scale legends and lit bars are switched in place: same sizes.
    for (int id = palisor::kMeterPeak; id <= palisor::kMeterK20; ++id)
        EXPECT_EQ(loadBitmap(skins::palisor(), id)->height(), palisor::kMeterHeight);
    for (int id = palisor::kLegendPeak; id <= palisor::kLegendK20; ++id)
        EXPECT_EQ(loadBitmap(skins::palisor(), id)->height(), 258);
}

}  // namespace
}  // namespace qx::gui

// The hint line's display kinds, with the blank-padded names and labels the tables hold.
#include <gtest/gtest.h>

#include <string>

#include "framework/editor/hint_line.h"

namespace qx {
namespace {

std::string hint(HintKind kind, const char* name, const char* label, float lo, float hi, float v) {
    char text[kHintSize];
    formatHint(kind, name, label, lo, hi, v, text);
    return text;
}

TEST(HintLine, EveryKindFormatsTheDisplayValue) {
    EXPECT_EQ(hint(HintKind::ValueWithUnit, "Rate", "Hz", 2000, 44100, 0.5f), "Rate 23050.00 Hz");
    EXPECT_EQ(hint(HintKind::ValueWithUnit, "Pan            ", "%  ", -100, 100, 0.25f),
              "Pan             -50.00 %  ");
    EXPECT_EQ(hint(HintKind::Decibels, "Gain", "", 0, 2, 0.25f), "Gain -6.02 dB");
    EXPECT_EQ(hint(HintKind::OnOff, "Bypass", "-", 0, 1, 0.51f), "Bypass On");
    EXPECT_EQ(hint(HintKind::OnOff, "Bypass", "-", 0, 1, 0.5f), "Bypass Off");
    // Truncated toward zero, at least three wide.
    EXPECT_EQ(hint(HintKind::Integer, "Bits", "Bits", 1, 16, 0.99f), "Bits  15");
    EXPECT_EQ(hint(HintKind::Integer, "Offset", "", -10, 0, 0.05f), "Offset  -9");
    EXPECT_EQ(hint(HintKind::ValueThreeDecimals, "Attack", "s", 0, 1, 0.1234f), "Attack 0.123 s");
}

TEST(HintLine, LongNamesAreCutAtTheBuffer) {
    const std::string name(100, 'x');
    const std::string line = hint(HintKind::ValueWithUnit, name.c_str(), "Hz", 0, 1, 1);
    EXPECT_EQ(line.size(), static_cast<size_t>(kHintSize - 1));
}

}  // namespace
}  // namespace qx

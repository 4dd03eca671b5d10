// Factory programs of the two headphone renderers as named rows, and the compile-time
// builders that turn them into the 50-program value and name tables (padded names,
// unnamed slots filled with "Default" copies of program 0). Internal to the tables.
#pragma once

#include "effects/heliope/heliope_params.h"
#include "framework/plugin_tables.h"

namespace qx::heliope_rows {

constexpr int kParams = kHeliopeNumParams;
constexpr int kPrograms = kHeliopeNumPrograms;

struct Row {
    int index;
    const char* name;
    // trim, bypass, cue, head, ear, distance, reverb time, room size, channel mode (index),
    // cabinet (index), ITDs, next door, room
    float values[kParams];
};

// clang-format off
constexpr Row kStereoRows[] = {
    {0,  "Default",                 {1,    0, 0.5f, 0.5f, 0.2f, 0.5f,  0.5f, 0.5f, 0, 0,  1, 0, 1}},
    {1,  "HRTF calibration",        {1,    0, 1,    0.5f, 0.2f, 0.25f, 0,    0.3f, 0, 0,  1, 0, 1}},
    {2,  "Crosstalk only",          {1,    0, 0,    0.5f, 0,    0.5f,  0,    0,    0, 0,  0, 0, 0}},
    {3,  "Crosstalk only + ITDs",   {1,    0, 0,    0.5f, 0,    0.5f,  0,    0,    0, 0,  1, 0, 0}},
    {4,  "HRTFs (anechoic)",        {1,    0, 1,    0.5f, 0.2f, 0.5f,  0,    0,    0, 0,  1, 0, 0}},
    {5,  "HRTFs + room simulation", {1,    0, 1,    0.5f, 0.2f, 0.5f,  0.5f, 0.5f, 0, 0,  1, 0, 1}},
    {6,  "Room 0.2s near field",    {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0,    0.5f, 0, 0,  1, 0, 1}},
    {7,  "Room 0.4s near field",    {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 0, 0,  1, 0, 1}},
    {8,  "Room 0.6s near field",    {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 1,    0.5f, 0, 0,  1, 0, 1}},
    {9,  "Room 0.2s mid field",     {1,    0, 0.5f, 0.5f, 0.2f, 0.5f,  0,    0.5f, 0, 0,  1, 0, 1}},
    {10, "Room 0.4s mid field",     {1,    0, 0.5f, 0.5f, 0.2f, 0.5f,  0.5f, 0.5f, 0, 0,  1, 0, 1}},
    {11, "Room 0.6s mid field",     {1,    0, 0.5f, 0.5f, 0.2f, 0.5f,  1,    0.5f, 0, 0,  1, 0, 1}},
    {12, "Room 0.2s far field",     {1,    0, 0.5f, 0.5f, 0.2f, 1,     0,    0.5f, 0, 0,  1, 0, 1}},
    {13, "Room 0.4s far field",     {1,    0, 0.5f, 0.5f, 0.2f, 1,     0.5f, 0.5f, 0, 0,  1, 0, 1}},
    {14, "Room 0.6s far field",     {1,    0, 0.5f, 0.5f, 0.2f, 1,     1,    0.5f, 0, 0,  1, 0, 1}},
    {15, "Next door listening",     {1,    0, 0.5f, 0.5f, 0.2f, 0.5f,  1,    0.7f, 0, 4,  1, 1, 1}},
    {16, "Mono compatibility",      {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.3f, 2, 0,  1, 0, 1}},
    {17, "Legends",                 {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 0, 8,  1, 0, 1}},
    {18, "Small loudspeakers",      {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 0, 1,  1, 0, 1}},
    {19, "Mono laptop",             {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 2, 9,  1, 0, 1}},
    {20, "QXs favorite",            {1,    0, 1,    0.5f, 0.2f, 0.5f,  0.5f, 0.5f, 0, 4,  1, 0, 1}},
    {21, "HiFi set",                {1,    0, 0.5f, 0.5f, 0.2f, 1,     0.8f, 0.2f, 0, 5,  1, 0, 1}},
    {22, "Flatscreen TV",           {1,    0, 0.5f, 0.5f, 0.2f, 1,     0.8f, 0.2f, 2, 11, 1, 0, 1}},
};

// The 5.1 renderer's own programs, replacing or adding to the stereo rows.
constexpr Row kSurroundRows[] = {
    {18, "Small speakers (no sub)", {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 3, 1,  1, 0, 1}},
    {19, "Mono laptop",             {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 2, 9,  1, 0, 1}},
    {22, "Flatscreen TV",           {1,    0, 0.5f, 0.5f, 0.2f, 1,     0.8f, 0.2f, 1, 11, 1, 0, 1}},
    {23, "Subwoofer / satellite 1", {1,    0, 0.5f, 0.5f, 0.2f, 0.8f,  0.8f, 0.2f, 0, 12, 1, 0, 1}},
    {24, "Subwoofer / satellite 2", {1,    0, 0.5f, 0.5f, 0.2f, 0.8f,  0.8f, 0.5f, 0, 13, 1, 0, 1}},
    {25, "PC desktop + sub",        {1,    0, 0.5f, 0.5f, 0.2f, 0.3f,  0.8f, 0.5f, 0, 9,  1, 0, 1}},
};
// clang-format on

struct Programs {
    float values[kPrograms * kParams];
    ProgramName names[kPrograms];
};

// Name blank padded to 23 characters; a longer name fails the build.
constexpr void setName(ProgramName& out, const char* name) {
    int i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i == kProgramNameSize - 1) throw "program name longer than 23 characters";
        out[i] = name[i];
    }
    for (; i < kProgramNameSize - 1; ++i) out[i] = ' ';
    out[kProgramNameSize - 1] = '\0';
}

constexpr void setRow(Programs& p, const Row& row) {
    setName(p.names[row.index], row.name);
    for (int k = 0; k < kParams; ++k) p.values[row.index * kParams + k] = row.values[k];
}

// Every slot a "Default" copy of program 0, then the stereo rows over them.
constexpr Programs stereoPrograms() {
    Programs p{};
    for (int i = 0; i < kPrograms; ++i) {
        Row copy = kStereoRows[0];
        copy.index = i;
        setRow(p, copy);
    }
    for (const Row& row : kStereoRows) setRow(p, row);
    return p;
}

// The stereo programs with the 5.1 renderer's own rows over them.
constexpr Programs surroundPrograms() {
    Programs p = stereoPrograms();
    for (const Row& row : kSurroundRows) setRow(p, row);
    return p;
}

}  // namespace qx::heliope_rows

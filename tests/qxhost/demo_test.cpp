// `qxhost demo` on the toy plug-in, whose programs 4 and 5 repeat program 0's values: each
// distinct program is rendered once, and the copies are listed as the program they repeat.
#include <algorithm>
#include <filesystem>

#include "tests/qxhost/tool_harness.h"

using namespace qx::tooltest;

namespace {

class Demo : public ScratchTest {};

TEST_F(Demo, RendersEachDistinctProgramOnceAndListsTheCopies) {
    const std::string toyDir = std::filesystem::path(QX_TOY_PLUGIN).parent_path().string();
    const RunResult r = runTool({"demo", "--plugins", toyDir, "--only", "toy", "--out", path("out"),
                                 "--seconds", "0.2", "--no-png", "-q"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> rendered;
    for (const auto& entry : std::filesystem::directory_iterator(path("out/toy")))
        rendered.push_back(entry.path().filename().string());
    std::sort(rendered.begin(), rendered.end());
    EXPECT_EQ(rendered, (std::vector<std::string>{"00_Default.wav", "01_Quiet.wav", "02_Bright.wav",
                                                  "03_Odd.wav"}));
    EXPECT_NE(r.out.find("    4  Default                          as program 0 (same values)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("    5  Default"), std::string::npos);
    EXPECT_EQ(r.out.find("failed"), std::string::npos);
}

}  // namespace

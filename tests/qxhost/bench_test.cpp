// `qxhost bench --against`: a plug-in and a reference timed in one run, with both factors
// and their ratio in the report.
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "tests/qxhost/tool_harness.h"

using namespace qx::tooltest;

namespace {

const std::string kFake = QX_FAKE_PLUGIN;

// The realtime factors on a report line: the numbers directly followed by "x".
std::vector<double> factorsOn(const std::string& line) {
    std::vector<double> factors;
    std::istringstream words(line);
    for (std::string w; words >> w;)
        if (w.size() > 1 && w.back() == 'x') factors.push_back(std::stod(w));
    return factors;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

}  // namespace

TEST(Bench, AgainstAReferenceReportsBothFactorsAndTheirRatio) {
    // A reference of another speed when one is built, so that a ratio turned upside down
    // shows; otherwise the fake plug-in against itself checks the report alone.
    std::string reference = std::string(QX_SUITE_PLUGIN_DIR) + "/palisor.so";
    if (!std::filesystem::exists(reference)) reference = kFake;
    const RunResult r = runTool(
        {"bench", "--seconds", "0.25", "-n", "3", "-P", "1", kFake, "--against", reference});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("fastest of 3 runs, interleaved"), std::string::npos) << r.out;

    std::vector<double> measured, referenced;
    double ratioFastest = 0.0, ratioMedian = 0.0;
    const auto file = [](const std::string& path) {
        return std::filesystem::path(path).filename().string();
    };
    const std::string ratioStart = "ratio " + file(kFake) + " / " + file(reference) + ": ";
    for (const std::string& line : linesOf(r.out)) {
        if (line.starts_with(ratioStart)) {
            ASSERT_EQ(std::sscanf(line.c_str() + ratioStart.size(),
                                  "%lf (fastest runs), %lf (medians)", &ratioFastest, &ratioMedian),
                      2)
                << line;
        } else if (line.find("(reference)") != std::string::npos) {
            referenced = factorsOn(line);
        } else if (line.find("Fake Gain") != std::string::npos) {
            measured = factorsOn(line);
        }
    }
    // Fastest and median factor for each side, the median never above the fastest.
    ASSERT_EQ(measured.size(), 2u) << r.out;
    ASSERT_EQ(referenced.size(), 2u) << r.out;
    for (const auto& f : {measured, referenced}) {
        EXPECT_GT(f[1], 0.0);
        EXPECT_GE(f[0], f[1]);
    }
    // The ratio is the plug-in's factor over the reference's: above 1 means faster.
    EXPECT_NEAR(ratioFastest, measured[0] / referenced[0], 0.002 * ratioFastest + 0.001) << r.out;
    EXPECT_NEAR(ratioMedian, measured[1] / referenced[1], 0.002 * ratioMedian + 0.001) << r.out;
}

TEST(Bench, AnUnusableReferenceStopsBeforeAnythingIsTimed) {
    RunResult r = runTool({"bench", "--seconds", "0.1", kFake, "--against", "/nonexistent/ref.so"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out.find("realtime"), std::string::npos) << r.out;
    r = runTool({"bench", "--seconds", "0.1", kFake, "--against", QX_FAKE_NO_ENTRY});
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.out.find("realtime"), std::string::npos) << r.out;
    r = runTool({"bench", "--seconds", "0.1", "-n", "0", kFake});
    EXPECT_EQ(r.code, 2);
}

// One registered plug-in's tables: well formed (padding, counts, ranges, bypass answers),
// and what its built library tells a host is exactly what they say. Built once per plug-in,
// with its description declared in the generated described_plugin.h.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "tests/plugins/described_plugin.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

const EffectDescription& d = kDescribed;

std::unique_ptr<host::Plugin> loadDescribed() {
    std::string error;
    auto plugin = host::Plugin::load(kDescribedPath, &error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

TEST(Tables, AreWellFormed) {
    const TableProblem problem = checkTables(d);
    EXPECT_TRUE(problem.ok()) << kDescribedName << ": " << problem.what << " (index "
                              << problem.index << ")";
}

TEST(Tables, MatchWhatTheLibraryAnswers) {
    auto p = loadDescribed();
    ASSERT_TRUE(p);
    const EffectIdentity& id = d.identity;
    EXPECT_EQ(p->uniqueId(), id.uniqueId);
    EXPECT_EQ(p->numInputs(), id.numInputs);
    EXPECT_EQ(p->numOutputs(), id.numOutputs);
    EXPECT_EQ(p->initialDelay(), id.initialDelay);
    EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor, id.flags);
    EXPECT_EQ(p->effectName(), id.effectName);
    EXPECT_EQ(p->productString(), id.productString);
    EXPECT_EQ(p->vendorString(), id.vendorString);
    EXPECT_EQ(p->vendorVersion(), id.vendorVersion);
    EXPECT_EQ(p->vstVersion(), id.generation == Generation::Current ? 2400 : 2300);
    for (const char* const* yes = id.canDoYes; *yes; ++yes) EXPECT_EQ(p->canDo(*yes), 1) << *yes;
    EXPECT_EQ(p->setBypass(false), id.bypassParameter >= 0);

    const ParameterTable& params = d.parameters;
    ASSERT_EQ(p->numParams(), params.count);
    ASSERT_EQ(p->numPrograms(), d.factory.numPrograms);
    const std::size_t labelSize = id.generation == Generation::Current ? 2 : kParamLabelSize - 1;
    for (int i = 0; i < params.count; ++i) {
        EXPECT_EQ(p->parameterName(i), params.names[i]) << i;
        EXPECT_EQ(p->parameterLabel(i), std::string(params.labels[i], labelSize)) << i;
        EXPECT_EQ(p->getParameter(i), d.factory.row(0)[i]) << i;  // a fresh instance
    }
    for (int program = 0; program < d.factory.numPrograms; ++program) {
        std::string name;
        ASSERT_TRUE(p->programNameIndexed(program, &name));
        EXPECT_EQ(name, d.factory.names[program]);
        p->setProgram(program);
        for (int i = 0; i < params.count; ++i)
            ASSERT_EQ(p->getParameter(i), d.factory.row(program)[i]) << program << " " << i;
    }
}

// Host values are handled once, in the framework, the same way for every plug-in: a
// non-finite value leaves the setting alone; a finite one is held to the parameter's range
// (0..1, or 0 .. n - 1 for a menu of n entries), and every such value processes to finite
// output.
TEST(Tables, HostValuesAreHeldToEachParametersRange) {
    auto p = loadDescribed();
    ASSERT_TRUE(p);
    const ParameterTable& params = d.parameters;
    for (int i = 0; i < params.count; ++i) {
        const float before = p->getParameter(i);
        for (float v : {NAN, INFINITY, -INFINITY}) {
            p->setParameter(i, v);
            EXPECT_EQ(p->getParameter(i), before) << i;
        }
        p->setParameter(i, -3.0f);
        EXPECT_EQ(p->getParameter(i), 0.0f) << i;
        p->setParameter(i, 1e9f);
        EXPECT_EQ(p->getParameter(i), params.maximum(i)) << i;
        p->setParameter(i, before);
    }
    p->prepare(44100.0f, 128);
    for (int i = 0; i < params.count; ++i) p->setParameter(i, i % 2 ? 1e9f : -1.0f);
    std::vector<std::vector<float>> in(static_cast<size_t>(p->numInputs()),
                                       std::vector<float>(512, 0.25f));
    for (const auto& channel : p->run(in, 128))
        for (float y : channel) ASSERT_TRUE(std::isfinite(y));
}

}  // namespace
}  // namespace qx

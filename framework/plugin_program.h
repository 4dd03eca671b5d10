// One program (preset): its values, its name and the copies of the parameter names and
// labels that the name and label answers come from.
#pragma once

#include <array>
#include <atomic>
#include <vector>

#include "framework/plugin_tables.h"

namespace qx {

class PluginProgram {
  public:
    // Starts as factory program 0 with the table's names and labels.
    PluginProgram(const ParameterTable& parameters, const FactoryProgramTable& factory);
    virtual ~PluginProgram() = default;

    // Takes values and name of factory program `program` when the table has it.
    void loadFactory(const FactoryProgramTable& factory, int program);
    // Stores at most 23 characters.
    void setName(const char* text);

    // Value i, read or written whole from any thread (valid i). Release and acquire, so that
    // the engine hand-off can tell a value written by a program change (PendingChanges).
    float value(int i) const {
        return std::atomic_ref<float>(const_cast<float&>(values[static_cast<size_t>(i)]))
            .load(std::memory_order_acquire);
    }
    void setValue(int i, float v) {
        std::atomic_ref<float>(values[static_cast<size_t>(i)]).store(v, std::memory_order_release);
    }

    std::vector<float> values;
    char name[kProgramNameSize]{};
    std::vector<std::array<char, kParamNameSize>> paramNames;
    std::vector<std::array<char, kParamLabelSize>> paramLabels;
};

}  // namespace qx

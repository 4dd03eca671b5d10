#include "framework/plugin_program.h"

#include <cstring>

namespace qx {

PluginProgram::PluginProgram(const ParameterTable& parameters, const FactoryProgramTable& factory)
    : values(factory.row(0), factory.row(0) + parameters.count),
      paramNames(static_cast<size_t>(parameters.count)),
      paramLabels(static_cast<size_t>(parameters.count)) {
    for (int i = 0; i < parameters.count; ++i) {
        copyString(paramNames[i].data(), parameters.names[i], kParamNameSize);
        copyString(paramLabels[i].data(), parameters.labels[i], kParamLabelSize);
    }
    setName(factory.names[0]);
}

void PluginProgram::loadFactory(const FactoryProgramTable& factory, int program) {
    if (program < 0 || program >= factory.numPrograms) return;
    const float* row = factory.row(program);
    values.assign(row, row + values.size());
    setName(factory.names[program]);
}

void PluginProgram::setName(const char* text) {
    copyString(name, text, kProgramNameSize);
}

}  // namespace qx

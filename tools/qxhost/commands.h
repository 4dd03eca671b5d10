// The subcommands of qxhost. Each takes the arguments after its name and returns an exit
// code; errors are thrown as ToolError and reported by main.
#pragma once

#include <string>
#include <vector>

namespace qx::tool {

int infoCommand(const std::vector<std::string>& args);
int renderCommand(const std::vector<std::string>& args);
int demoCommand(const std::vector<std::string>& args);
int benchCommand(const std::vector<std::string>& args);

extern const char* const kInfoHelp;
extern const char* const kRenderHelp;
extern const char* const kDemoHelp;
extern const char* const kBenchHelp;

}  // namespace qx::tool

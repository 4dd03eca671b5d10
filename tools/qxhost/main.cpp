// qxhost: hosts Linux VST 2 plug-ins from the command line (info, render, demo, bench).
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/qxhost/commands.h"
#include "tools/qxhost/common.h"

namespace {

const char* const kMainHelp = R"(Usage: qxhost COMMAND [options] [arguments]

Hosts Linux VST 2 plug-ins (.so) from the command line.

Commands:
  info PLUGIN.so|DIR     identity, latency, inputs/outputs, parameters and programs
  render INPUT... -p PLUGIN.so [plug-in options] [-p ...]
                         run audio files through a chain of plug-ins
  demo                   render a generated clip through every plug-in and program,
                         with pictures and a summary table
  bench PLUGIN.so|DIR [--against REF.so]
                         realtime factor on a fixed 30 s stereo 48 kHz signal, and
                         the ratio to a reference plug-in timed in the same run

  qxhost COMMAND --help  shows the options of a command.

Exit codes:
  0 success                     5 unknown program or parameter
  1 other failure               6 channel counts or sample rates do not match
  2 bad command line            7 an output could not be written
  3 missing or unreadable file  8 unusable preset file (format, plug-in ID, sizes)
  4 not a VST 2 plug-in (no entry point, or it returned no effect)
)";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    const char* help;
};

const Command kCommands[] = {
    {"info", qx::tool::infoCommand, qx::tool::kInfoHelp},
    {"render", qx::tool::renderCommand, qx::tool::kRenderHelp},
    {"demo", qx::tool::demoCommand, qx::tool::kDemoHelp},
    {"bench", qx::tool::benchCommand, qx::tool::kBenchHelp},
};

// Accepts the usual spellings "--option=value" and "-j2" (numeric short options).
std::vector<std::string> splitAttachedValues(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& a : args) {
        const auto equals = a.find('=');
        if (a.starts_with("--") && equals != std::string::npos) {
            out.push_back(a.substr(0, equals));
            out.push_back(a.substr(equals + 1));
        } else if (a.size() > 2 && a[0] == '-' && std::strchr("jbr", a[1]) &&
                   std::isdigit(static_cast<unsigned char>(a[2]))) {
            out.push_back(a.substr(0, 2));
            out.push_back(a.substr(2));
        } else {
            out.push_back(a);
        }
    }
    return out;
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kMainHelp, stderr);
        return qx::tool::kExitUsage;
    }
    if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        const Command* c = args.size() > 1 ? findCommand(args[1]) : nullptr;
        std::fputs(c ? c->help : kMainHelp, stdout);
        return qx::tool::kExitOk;
    }
    if (args[0] == "--version") {
        std::puts("qxhost 1.0");
        return qx::tool::kExitOk;
    }
    if (args[0] == "--bench") args[0] = "bench";
    const Command* command = findCommand(args[0]);
    if (!command) {
        qx::tool::printError("unknown command '" + args[0] + "' (see qxhost --help)");
        return qx::tool::kExitUsage;
    }
    args.erase(args.begin());
    args = splitAttachedValues(args);
    for (const std::string& a : args) {
        if (a == "-h" || a == "--help") {
            std::fputs(command->help, stdout);
            return qx::tool::kExitOk;
        }
    }
    try {
        return command->run(args);
    } catch (const qx::tool::ToolError& e) {
        qx::tool::printError(e.what());
        if (e.code() == qx::tool::kExitUsage)
            std::cerr << "Try 'qxhost " << command->name << " --help'." << std::endl;
        return e.code();
    } catch (const std::exception& e) {
        qx::tool::printError(e.what());
        return qx::tool::kExitFailure;
    }
}

// Exit codes, the error type that carries one, and small text helpers shared by the
// subcommands.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace qx::tool {

// Distinct exit codes, so scripts can tell failures apart (listed in `qxhost --help`).
enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,      // anything not listed below
    kExitUsage = 2,        // bad command line
    kExitInputFile = 3,    // missing or unreadable audio or preset file
    kExitNotPlugin = 4,    // not a VST 2 plug-in, or its entry point returned nothing
    kExitUnknownName = 5,  // unknown program or parameter (name or index)
    kExitChannels = 6,     // channel counts or sample rates cannot be matched
    kExitWrite = 7,        // an output could not be written
    kExitBadPreset = 8,    // preset file unusable (format, plug-in ID, sizes)
};

class ToolError : public std::runtime_error {
  public:
    ToolError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

  private:
    ExitCode code_;
};

// Trailing (and leading) blanks removed: plug-ins often pad names with spaces.
std::string trim(const std::string& text);
std::string lower(std::string text);
// Letters, digits, '-' and '_' kept, runs of anything else become one '_'.
std::string sanitiseFileName(const std::string& text);
// Base name of a path without directory and extension ("a/b/eraslip.so" -> "eraslip").
std::string stem(const std::string& path);
// Parses a whole string as a number; false on trailing garbage or range errors.
bool parseInt(const std::string& text, long* value);
bool parseDouble(const std::string& text, double* value);
// "-1.5" style dB text for a linear peak/RMS value ("-inf" for silence).
std::string dbText(double linear, int decimals = 1);
double toDb(double linear);

// Writes to stderr as "qxhost: <message>".
void printError(const std::string& message);
void printWarning(const std::string& message);

}  // namespace qx::tool

#include <functional>

namespace qx::tool {

// Runs body(0..count-1) on up to `jobs` threads (0: one per core). Exceptions stay inside
// body: callers record their own failures.
void parallelFor(int count, int jobs, const std::function<void(int)>& body);
int defaultJobs();

// Command-line walking: the value after option args[*i], or ToolError(kExitUsage).
const std::string& optionValue(const std::vector<std::string>& args, std::size_t* i);
int intOption(const std::vector<std::string>& args, std::size_t* i, int min, int max);

}  // namespace qx::tool

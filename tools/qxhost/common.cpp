// Text helpers and diagnostics shared by the subcommands.
#include "tools/qxhost/common.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace qx::tool {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string sanitiseFileName(const std::string& text) {
    std::string out;
    for (char c : trim(text)) {
        const bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
        if (keep) {
            out += c;
        } else if (!out.empty() && out.back() != '_') {
            out += '_';
        }
    }
    while (!out.empty() && out.back() == '_') out.pop_back();
    return out.empty() ? "unnamed" : out;
}

std::string stem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

bool parseInt(const std::string& text, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    *value = v;
    return true;
}

bool parseDouble(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

double toDb(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -INFINITY;
}

std::string dbText(double linear, int decimals) {
    if (!(linear > 0.0)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, toDb(linear));
    return text;
}

void printError(const std::string& message) {
    std::cerr << "qxhost: " << message << std::endl;
}

void printWarning(const std::string& message) {
    std::cerr << "qxhost: warning: " << message << std::endl;
}

}  // namespace qx::tool

#include <atomic>
#include <thread>

namespace qx::tool {

int defaultJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void parallelFor(int count, int jobs, const std::function<void(int)>& body) {
    const int threads = std::min(count, jobs > 0 ? jobs : defaultJobs());
    if (threads <= 1) {
        for (int i = 0; i < count; ++i) body(i);
        return;
    }
    std::atomic<int> next{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            for (int i = next++; i < count; i = next++) body(i);
        });
    for (auto& thread : pool) thread.join();
}

const std::string& optionValue(const std::vector<std::string>& args, std::size_t* i) {
    if (*i + 1 >= args.size()) throw ToolError(kExitUsage, "option " + args[*i] + " needs a value");
    ++*i;
    return args[*i];
}

int intOption(const std::vector<std::string>& args, std::size_t* i, int min, int max) {
    const std::string option = args[*i];
    const std::string& text = optionValue(args, i);
    long value = 0;
    if (!parseInt(text, &value) || value < min || value > max)
        throw ToolError(kExitUsage, "option " + option + " needs a whole number from " +
                                        std::to_string(min) + " to " + std::to_string(max) +
                                        ", not '" + text + "'");
    return static_cast<int>(value);
}

}  // namespace qx::tool

// The host library's operating-system layer on Windows: LoadLibrary and MoveFileEx.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <filesystem>

#include "tools/vsthost/platform.h"

namespace qx::host::platform {

namespace {

std::string lastErrorText() {
    const DWORD code = GetLastError();
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
    std::string message = n ? std::string(text, n) : "error " + std::to_string(code);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

}  // namespace

const char* pluginExtension() {
    return ".dll";
}

void* openLibrary(const std::string& path, std::string* error) {
    // Without a directory LoadLibrary searches the system folders first; a plug-in path is
    // always a file, and its own folder is searched for what it imports.
    std::string openPath = std::filesystem::path(path).has_parent_path() ? path : ".\\" + path;
    HMODULE library = LoadLibraryExA(openPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library && error) *error = lastErrorText();
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

bool writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes,
                        std::string* error) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    char temp[MAX_PATH] = {};
    if (!GetTempFileNameA(dir.string().c_str(), "qxp", 0, temp))
        return *error = "cannot write " + path + ": " + lastErrorText(), false;
    std::FILE* file = std::fopen(temp, "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok || !MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        std::string why = lastErrorText();
        DeleteFileA(temp);
        return *error = "cannot write " + path + ": " + why, false;
    }
    return true;
}

}  // namespace qx::host::platform

// What the host library needs of the operating system: loading a plug-in library and
// writing a file in one step. One implementation per platform (POSIX, Win32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx::host::platform {

// The file name extension of a plug-in library here, with its dot (".so", ".dll").
const char* pluginExtension();

// Loads the library at `path` with every symbol resolved now; null and *error set on
// failure. Any thread.
void* openLibrary(const std::string& path, std::string* error);
// The address of an exported symbol, or null.
void* findSymbol(void* library, const char* name);
void closeLibrary(void* library);

// Writes `bytes` to a temporary file beside `path` and renames it into place, so a reader
// sees the old file or the new one, never a part. False and *error set on failure.
bool writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes,
                        std::string* error);

}  // namespace qx::host::platform

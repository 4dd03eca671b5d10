// The host library's operating-system layer on POSIX systems: dlopen and mkstemp.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tools/vsthost/platform.h"

namespace qx::host::platform {

const char* pluginExtension() {
    return ".so";
}

void* openLibrary(const std::string& path, std::string* error) {
    // dlopen searches the library path for bare names; a plug-in path is always a file.
    std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
#ifdef QX_KEEP_PLUGIN_LIBRARIES
    // Sanitizer builds: a library unloaded at close would take the names of its (and its
    // dependencies') allocations with it, and the one-time caches of the system libraries
    // it pulled in would turn into leak reports without a module to suppress them by.
    constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
    constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif
    void* library = dlopen(openPath.c_str(), kOpenFlags);
    if (!library && error) {
        const char* why = dlerror();
        *error = why ? why : "unknown error";
    }
    return library;
}

void* findSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void closeLibrary(void* library) {
    if (library) dlclose(library);
}

bool writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes,
                        std::string* error) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::string hidden = target.filename().string();
    hidden.insert(hidden.begin(), '.');
    hidden.append(".XXXXXX");
    std::string temp = (dir / hidden).string();
    int fd = mkstemp(temp.data());
    if (fd < 0) return *error = "cannot write " + path + ": " + std::strerror(errno), false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            int saved = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            return *error = "cannot write " + path + ": " + std::strerror(saved), false;
        }
        done += static_cast<std::size_t>(n);
    }
    fchmod(fd, 0644);
    if (::close(fd) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temp.c_str());
        return *error = "cannot write " + path + ": " + std::strerror(saved), false;
    }
    return true;
}

}  // namespace qx::host::platform

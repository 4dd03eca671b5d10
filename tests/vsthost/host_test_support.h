// What the plug-in host tests share: loading a built plug-in as a host does, failing the test
// (not crashing) when it cannot be loaded, and the fixed-width texts hosts receive.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tools/vsthost/plugin_host.h"

namespace qx::testing {

// The plug-in at `path`, or null with a test failure saying why.
inline std::unique_ptr<host::Plugin> loadPlugin(const std::string& path,
                                                host::LoadOptions options = {}) {
    std::string error;
    auto plugin = host::Plugin::load(path, &error, options);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

// `text` cut or filled with spaces to `width` characters, as fixed-width host texts are.
inline std::string padded(std::string text, size_t width) {
    text.resize(width, ' ');
    return text;
}

}  // namespace qx::testing

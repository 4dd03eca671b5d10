// Where the test plug-ins live, and a loader that fails the test with the host's message.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tools/vsthost/platform.h"
#include "tools/vsthost/plugin_host.h"

namespace qx::host::testing {

inline std::string fakePath(const std::string& name) {
    return std::string(QX_FAKE_DIR) + "/" + name + platform::pluginExtension();
}

inline std::unique_ptr<Plugin> loadFake(LoadOptions options = {},
                                        const std::string& name = "qx_fake_plugin") {
    std::string error;
    auto plugin = Plugin::load(fakePath(name), &error, options);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

}  // namespace qx::host::testing

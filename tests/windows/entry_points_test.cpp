// Both exported entry points of every plug-in DLL give a working effect: hosts that look
// only for the older `main` must get the same plug-in as those that ask for VSTPluginMain.
#include <gtest/gtest.h>

#include "framework/vst2.h"
#include "tests/plugins/plugin_list.h"
#include "tools/vsthost/platform.h"

namespace qx::host {
namespace {

vst::VstIntPtr hostCallback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                            void*, float) {
    return opcode == vst::audioMasterVersion ? vst::kVstVersion : 0;
}

TEST(WindowsEntryPoints, MainAndVstPluginMainBothMakeTheEffect) {
    ASSERT_FALSE(kPluginPaths.empty());
    for (const std::string& path : kPluginPaths) {
        SCOPED_TRACE(path);
        std::string error;
        void* library = platform::openLibrary(path, &error);
        ASSERT_TRUE(library) << error;
        int uniqueIds[2] = {};
        const char* names[2] = {"VSTPluginMain", "main"};
        for (int i = 0; i < 2; ++i) {
            auto entry =
                reinterpret_cast<vst::VstPluginMainProc>(platform::findSymbol(library, names[i]));
            ASSERT_TRUE(entry) << names[i];
            vst::AEffect* effect = entry(&hostCallback);
            ASSERT_TRUE(effect) << names[i];
            EXPECT_EQ(effect->magic, vst::kEffectMagic);
            uniqueIds[i] = effect->uniqueID;
            effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
        }
        EXPECT_NE(uniqueIds[0], 0);
        EXPECT_EQ(uniqueIds[0], uniqueIds[1]);
        platform::closeLibrary(library);
    }
}

}  // namespace
}  // namespace qx::host

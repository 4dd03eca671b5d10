// The exported entry points of a plug-in: VSTPluginMain, and main for older hosts.
#include "framework/entry.h"

#include <new>

namespace qx {
bool constructionFailed = false;
}

// The only symbols a plug-in exports.
#ifdef _WIN32
#define QX_EXPORT __declspec(dllexport)
#else
#define QX_EXPORT __attribute__((visibility("default")))
#endif

using qx::vst::AEffect;
using qx::vst::audioMasterCallback;

extern "C" QX_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    if (!host) return nullptr;
    // A host older than VST 2 answers 0 and gets nothing.
    if (host(nullptr, qx::vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    qx::AudioEffect* effect = nullptr;
    try {
        effect = qx::createEffectInstance(host);
    } catch (...) {
        // Nothing may unwind into the host; an allocation failure means "no effect".
        return nullptr;
    }
    if (!effect) return nullptr;
    if (qx::constructionFailed) {
        delete effect;
        return nullptr;
    }
    return effect->getAeffect();
}

#ifndef QX_ENTRY_WITHOUT_MAIN_ALIAS
// C++ forbids a function called main with C linkage in this translation unit, so the
// export is given its name through the assembler. (Test programs have a main of their own.)
extern "C" QX_EXPORT AEffect* qxEntryAlias(audioMasterCallback host) __asm__("main");
AEffect* qxEntryAlias(audioMasterCallback host) {
    return VSTPluginMain(host);
}
#endif

// LeakSanitizer's default suppressions for the editor tests: fontconfig keeps its caches
// (reached through cairo's text) until the process ends, which is no leak of ours. Visible,
// so the sanitizer runtime finds it despite the build's hidden default.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

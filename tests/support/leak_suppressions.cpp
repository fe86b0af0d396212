// LeakSanitizer's suppressions for every test program (compiled into each, as
// the sanitizer looks the hook up in the program itself). Weak, so that a
// program that gets it twice (through an object library as well) links.
//
// cairo's text drawing loads fontconfig's configuration once per process and
// keeps it to the end: not a leak of ours.
extern "C" __attribute__((weak, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

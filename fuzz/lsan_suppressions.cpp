// The leak checker's suppressions, built into every fuzz target. Fontconfig,
// which the font database of a target that shows windows starts, loses a
// few hundred bytes of its own (288 at the last count) that it never frees:
// without this every such run ended "crashed" on them at its exit.

extern "C" const char *__lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

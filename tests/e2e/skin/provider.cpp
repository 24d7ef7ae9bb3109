// Loaded by the system loader beside the probe; exports by ordinal only, so the
// mapped DLLs that use it must import by ordinal.
extern "C" int Triple(int x) { return 3 * x; }
extern "C" int Square(int x) { return x * x; }

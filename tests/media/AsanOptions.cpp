// The web engine (not instrumented) frees some of its objects with a sized delete of a base type and
// keeps some allocations to the end of the process; AddressSanitizer would report both as ours, so
// the web tests run without those two checks.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0:detect_leaks=0"; }

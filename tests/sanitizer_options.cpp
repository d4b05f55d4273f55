// Built into the test programs of a sanitizer build only. The options hold
// for the tests themselves and, through the environment, for the program
// they start:
// - a failed huge allocation returns null, as the C library's does; SDL copes;
// - Xlib's, Mesa's and libdbus's own never-freed records are not reported
//   (tests/lsan.supp).
#include <cstdlib>

extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}

extern "C" const char *__lsan_default_suppressions()
{
    return LAAVA_LSAN_LEAKS;  // the leak: lines of tests/lsan.supp
}

static const bool children_too = [] {
    setenv("ASAN_OPTIONS", "allocator_may_return_null=1", 0);
    setenv("LSAN_OPTIONS", "suppressions=" LAAVA_LSAN_SUPP ":print_suppressions=0", 0);
    return true;
}();

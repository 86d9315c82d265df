// Default options of the sanitizer runtimes, compiled into every test program and, in sanitizer
// builds, into the program itself (tests run it). Built in, they apply however the program is
// started: by ctest, by a test that spawns it, or by hand.
#include "tsan_suppressions.inc"

extern "C" {
const char *__tsan_default_suppressions() {
    return kTsanSuppressions;
}
const char *__tsan_default_options() {
    return "second_deadlock_stack=1";
}
const char *__ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}
}

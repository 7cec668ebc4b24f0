// Built into every program of a sanitizer build (VELRIX_SANITIZE). The tests
// start velrix, velrix-recorder and velrix-unitsim with an environment of
// their own, so the options and the suppressions cannot come from the
// environment alone: the runtimes ask these functions first, then read
// ASAN_OPTIONS, LSAN_OPTIONS, UBSAN_OPTIONS and TSAN_OPTIONS on top.
// VELRIX_SANITIZER_FOLDER is tests/sanitizers of the source tree.

extern "C" {

const char* __asan_default_options() {
  return "detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1";
}

const char* __lsan_default_options() {
  return "suppressions=" VELRIX_SANITIZER_FOLDER "/lsan.supp:print_suppressions=0";
}

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

const char* __tsan_default_options() {
  return "suppressions=" VELRIX_SANITIZER_FOLDER "/tsan.supp:print_suppressions=0:second_deadlock_stack=1";
}

}  // extern "C"

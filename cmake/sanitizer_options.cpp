// Default run-time options of the sanitizer build (PSFPICK_SANITIZE=ON),
// compiled into every program and test executable of that build; the
// environment variables ASAN_OPTIONS and UBSAN_OPTIONS still override them.
//
// A sanitizer report ends the process with its own status, kSanitizerStatus,
// so that it can never pass for one of psfpick's statuses (0, 1, 255) in the
// end-to-end tests that run the program as a child process. Every finding is
// fatal (the code is also compiled with -fno-sanitize-recover=all).

// Exit status of a process stopped by a sanitizer report.
#define PSFPICK_SANITIZER_STATUS "86"

extern "C" {

// Called by the AddressSanitizer run time before it reads ASAN_OPTIONS.
char const* __asan_default_options() {
    return "exitcode=" PSFPICK_SANITIZER_STATUS
           ":detect_leaks=1:check_initialization_order=1:strict_init_order=1"
           ":detect_stack_use_after_return=1:strict_string_checks=1";
}

// Called by the UndefinedBehaviorSanitizer run time before it reads UBSAN_OPTIONS.
char const* __ubsan_default_options() {
    return "exitcode=" PSFPICK_SANITIZER_STATUS ":halt_on_error=1:print_stacktrace=1";
}

// Called by the LeakSanitizer run time (part of AddressSanitizer here).
char const* __lsan_default_options() {
    return "exitcode=" PSFPICK_SANITIZER_STATUS;
}
}

#pragma once

#include <sys/resource.h>
#include <unistd.h>

// Present only in a coverage build (scripts/coverage), where the profile
// runtime is linked in.
extern "C" int __llvm_profile_write_file() __attribute__((weak));

// Ends a forked child as _exit does, which skips the handler that writes
// coverage counters at exit: a coverage build writes the child's first, so
// that what only the child ran (a write failing on a full disk) counts. A
// file size limit the child set itself would cut the counters short.
[[noreturn]] inline void endChild(int code)
{
    if (__llvm_profile_write_file) {
        rlimit limit {};
        if (getrlimit(RLIMIT_FSIZE, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        __llvm_profile_write_file();
    }
    _exit(code);
}

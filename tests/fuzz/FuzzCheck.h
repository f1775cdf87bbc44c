// Invariant checks of the fuzz targets. A violated check names itself on
// standard error and stops the process, so libFuzzer keeps the input.
#pragma once

#include <cstdio>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (false)

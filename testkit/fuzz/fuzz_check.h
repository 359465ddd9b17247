#pragma once

#include <cstdio>
#include <cstdlib>

// A property the fuzz targets hold the code to: when it does not hold, the input is a finding.
// abort() is what libFuzzer reports as a crash and what the replay test sees as a failure.
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, what, #condition);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// A property a fuzz target asserts: when it does not hold the target stops
// with the condition's text, and libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(Condition)                                                                 \
    do {                                                                                      \
        if (!(Condition)) {                                                                   \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #Condition, __FILE__, __LINE__); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

#pragma once
// A fuzz target's property check: a broken property aborts, which libFuzzer reports with the
// input that broke it.

#include <cstdio>
#include <cstdlib>

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

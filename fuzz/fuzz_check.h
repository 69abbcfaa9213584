#pragma once

#include <cstdio>
#include <cstdlib>

// A property that does not hold is a finding: say which, where it was checked, and stop.
inline void check(bool holds, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (!holds) {
        std::fprintf(stderr, "%s:%d: the property does not hold\n", file, line);
        std::abort();
    }
}

// The fuzz targets' check: a broken promise ends the run, so libFuzzer keeps the input.
#pragma once

#include <cstdlib>

inline void require(bool condition) {
    if (!condition)
        std::abort();
}

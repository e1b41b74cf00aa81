#pragma once
// A broken invariant is a finding: say which one and abort, so that libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline void check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
        std::abort();
    }
}

}  // namespace fuzz

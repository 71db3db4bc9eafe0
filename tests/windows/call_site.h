// Check helpers of the Windows tests take the caller's place as a defaulted last argument,
// so that a failure inside a helper also names the test line that called it.
#pragma once

#include <gtest/gtest.h>

#include <source_location>

using call_site = std::source_location;

// While it lives, failures carry "called from FILE:LINE".
class call_site_trace {
  public:
    explicit call_site_trace(const call_site &where)
        : trace_(where.file_name(), static_cast<int>(where.line()), "called from here") {}

  private:
    ::testing::ScopedTrace trace_;
};

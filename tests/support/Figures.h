#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

// A figure a test measured (a PSNR, a time), for the suite's log whether the
// test passes or not: printed, recorded in the test's XML, and appended as
// "Suite.Test: name value unit" to the file TARNIX_FIGURES names, which the
// test script prints at the end of a run.
inline void reportFigure(const std::string& name, double value, const std::string& unit = "") {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    char line[512];
    std::snprintf(line, sizeof line, "%s.%s: %s %.3f%s%s", test ? test->test_suite_name() : "?",
                  test ? test->name() : "?", name.c_str(), value, unit.empty() ? "" : " ", unit.c_str());
    std::printf("figure: %s\n", line);
    testing::Test::RecordProperty(name, std::to_string(value));
    if (const char* path = std::getenv("TARNIX_FIGURES"); path && *path)
        if (std::FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "%s\n", line);
            std::fclose(file);
        }
}

}  // namespace testsupport

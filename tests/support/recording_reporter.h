#pragma once
// An error reporter that keeps every report instead of showing a box.

#include <string>
#include <vector>

#include "runtime/error_trap.h"

namespace gg::test {

struct RecordedReport {
    std::string label;
    int line;
    std::string description;
};

struct RecordingReporter : ErrorReporter {
    void reportError(const std::string& label, int line, const std::string& description) override
    {
        reports.push_back({label, line, description});
    }
    std::vector<RecordedReport> reports;
};

} // namespace gg::test

#pragma once
// The error trap shared by every guarded routine: a step that fails is reported with the
// routine's label and the step's line number, then the routine carries on with its next step.

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

namespace gg {

// Thrown by a step (or an unguarded helper it calls) to say what went wrong.
class StepFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Shows the standard error report; production shows a box, tests record.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void reportError(const std::string& label, int line, const std::string& description) = 0;
};

// Builds the report text: description, CR LF, label, "at line N", CR, CR, the e-mail request.
std::string buildErrorReportText(const std::string& description, const std::string& label, int line);

// The support address named at the end of every report.
inline constexpr const char* kSupportAddress = "support@tessaly-glimmer.example";

// Label of a routine: "in <prefix>2021/08/31.<module>.<routine> ".
std::string trapLabel(const std::string& module, const std::string& routine,
                      const std::string& prefix = "Glintwork");

class Trap {
public:
    Trap(ErrorReporter& reporter, std::string label) : reporter_(reporter), label_(std::move(label)) {}

    const std::string& label() const { return label_; }
    int failures() const { return failures_; }

    // Runs one numbered step. Returns false when it failed (and was reported).
    template <class F>
    bool step(int line, F&& f)
    {
        try {
            std::forward<F>(f)();
            return true;
        } catch (const std::exception& e) {
            report(line, e.what());
        } catch (...) {
            report(line, "Unknown error");
        }
        return false;
    }

    // The test of a conditional. A failing test is reported and counts as true, so the
    // routine continues into the true branch.
    template <class F>
    bool test(int line, F&& f)
    {
        bool result = true;
        step(line, [&] { result = static_cast<bool>(std::forward<F>(f)()); });
        return result;
    }

    // A step that produces a value; a failing one yields the fallback.
    template <class T, class F>
    T value(int line, F&& f, T fallback = T{})
    {
        step(line, [&] { fallback = std::forward<F>(f)(); });
        return fallback;
    }

private:
    void report(int line, const std::string& description)
    {
        ++failures_;
        reporter_.reportError(label_, line, description);
    }

    ErrorReporter& reporter_;
    std::string label_;
    int failures_ = 0;
};

} // namespace gg

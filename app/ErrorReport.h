#pragma once
// The error report every guarded handler shows: one "Application Error" box
// naming the error, where it happened and the number of the step that failed.
// After the box the handler goes on with its next step.

#include "ErrorMessage.h"

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

class cDialogs;

inline constexpr const char* kSupportAddress = "support@pixolune.example";

// "in Dotwane2021/08/31." + module + "." + procedure + " ".
std::string LocationString(const std::string& module, const std::string& procedure);

// description CR LF location "at line " step CR CR "Please email screenshot ...".
std::string ErrorReportText(const std::string& description, const std::string& location,
                            int32_t step);

void ShowErrorReport(cDialogs& dialogs, const std::string& description, const std::string& location,
                     int32_t step);

// Runs a handler's numbered steps, each on its own: an error inside a step is
// reported with that step's number and the handler carries on.
class cStepGuard {
public:
    cStepGuard(cDialogs& dialogs, std::string location)
        : dialogs_(dialogs), location_(std::move(location)) {}

    // Runs one step; false when it failed (and was reported).
    template <class Action>
    bool Step(int32_t step, Action&& action) {
        try {
            action();
            return true;
        } catch (const std::exception&) {  // anything else is no error to report
            ShowErrorReport(dialogs_, ErrorMessage(), location_, step);
            return false;
        }
    }

private:
    cDialogs& dialogs_;
    std::string location_;
};

#include "ErrorReport.h"

#include "Dialogs.h"

std::string LocationString(const std::string& module, const std::string& procedure) {
    return "in Dotwane2021/08/31." + module + "." + procedure + " ";
}

std::string ErrorReportText(const std::string& description, const std::string& location,
                            int32_t step) {
    return description + "\r\n" + location + "at line " + std::to_string(step) + "\r\r" +
           "Please email screenshot of this message to " + kSupportAddress;
}

void ShowErrorReport(cDialogs& dialogs, const std::string& description, const std::string& location,
                     int32_t step) {
    dialogs.MsgBox(ErrorReportText(description, location, step), "Application Error",
                   MsgButtons::OK, MsgIcon::Exclamation);
}

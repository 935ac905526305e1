#include "runtime/error_trap.h"

namespace gg {

std::string buildErrorReportText(const std::string& description, const std::string& label, int line)
{
    std::string text = description;
    text += "\r\n";
    text += label;
    text += "at line ";
    text += std::to_string(line);
    text += '\r';
    text += '\r';
    text += "Please email screenshot of this message to ";
    text += kSupportAddress;
    return text;
}

std::string trapLabel(const std::string& module, const std::string& routine, const std::string& prefix)
{
    return "in " + prefix + "2021/08/31." + module + "." + routine + " ";
}

} // namespace gg

// The commands of glimmer-extract; each answers with the program's exit status.
#pragma once

#include "tool/command_line.h"

#include <chrono>
#include <string>

namespace gg::tool {

// Results on stdout; problems on stderr, each naming its file; and on a terminal a progress line
// that the other output clears first.
class Console {
public:
    Console();
    void problem(const std::string& file, const std::string& what);
    void output(const std::string& text);
    void progress(std::size_t done, std::size_t total, const std::string& file);
    void endProgress();

private:
    bool terminal_ = false;
    bool outputOnTerminal_ = false;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
};

int runList(const Request& request, Console& console);
int runExtract(const Request& request, Console& console);
int runThumbnail(const Request& request, Console& console);
int runInstallIcon(const Request& request, Console& console);
int runUninstallIcon(const Request& request, Console& console);

} // namespace gg::tool

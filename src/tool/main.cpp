// glimmer-extract: the icons of Windows files from the command line, and thumbnails for file
// managers. See kHelpText and dist/glimmer-extract.1.
#include "tool/command_line.h"
#include "tool/commands.h"

#include <cstdio>
#include <new>

int main(int argc, char** argv)
{
    using namespace gg::tool;
    const CommandLine line = readCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.request) {
        std::fprintf(stderr, "glimmer-extract: %s\nTry 'glimmer-extract --help'.\n", line.error.c_str());
        return kWrongCommandLine;
    }
    const Request& request = *line.request;
    Console console;
    try {
        switch (request.verb) {
        case Verb::Help:
            std::fputs(kHelpText, stdout);
            return kAllWritten;
        case Verb::Version:
            std::puts("glimmer-extract " GG_VERSION);
            return kAllWritten;
        case Verb::List:
            return runList(request, console);
        case Verb::Extract:
            return runExtract(request, console);
        case Verb::Thumbnail:
            return runThumbnail(request, console);
        case Verb::InstallIcon:
            return runInstallIcon(request, console);
        case Verb::UninstallIcon:
            return runUninstallIcon(request, console);
        }
    } catch (const std::bad_alloc&) {
        console.problem("glimmer-extract", "out of memory");
    }
    return kSomeFileFailed;
}

// Writes the two amplification modules into a folder, for timing the tool and the window's
// reader on them (bench/bench_hostile_modules.sh):
//   groups-naming-one-png.dll      100,000 groups, each a group resource naming one PNG 65,535 times
//   groups-sharing-a-language.dll  100,000 groups that all reach one group resource
// Usage: bench_hostile_modules FOLDER
#include "support/hostile_modules.h"

#include <QGuiApplication>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_hostile_modules FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = write(folder + "/groups-naming-one-png.dll", gg::test::moduleOfGroupsNamingOnePng()) &&
                    write(folder + "/groups-sharing-a-language.dll", gg::test::moduleOfGroupsSharingOneLanguage());
    return ok ? 0 : 1;
}

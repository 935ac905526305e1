// Writes the two amplification modules into a folder, for timing the tool and the window's
// reader on them (bench/bench_hostile_modules.sh):
//   groups-naming-one-png.dll      100,000 groups, each a group resource naming one PNG 65,535 times
//   groups-sharing-a-language.dll  100,000 groups that all reach one group resource
// Usage: bench_hostile_modules FOLDER
//        bench_hostile_modules --extract FILE   takes the file's icons as the window's extraction
//                                               does, keeping every gallery image, under
//                                               /usr/bin/time for its processor time and memory
#include "support/hostile_modules.h"

#include "extraction/file_icons.h"

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
    if (argc == 3 && std::string(argv[1]) == "--extract") {
        std::vector<QImage> gallery;
        const int icons = gg::extractFileIcons(argv[2], [&](QImage icon) { gallery.push_back(gg::galleryImage(std::move(icon))); });
        std::printf("%s: %d icons\n", argv[2], icons);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_hostile_modules FOLDER | --extract FILE\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = write(folder + "/groups-naming-one-png.dll", gg::test::moduleOfGroupsNamingOnePng()) &&
                    write(folder + "/groups-sharing-a-language.dll", gg::test::moduleOfGroupsSharingOneLanguage());
    return ok ? 0 : 1;
}

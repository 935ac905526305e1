// install-icon and uninstall-icon: which image each size of the theme gets, the names a theme takes,
// and what the tool writes, refuses and takes back in a data folder of the test's own.
#include "icons/icon_test_files.h"

#include "icons/icon_extractor.h"
#include "icons/icon_theme.h"
#include "tool/tool_run.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

using namespace gg;
using namespace gg::test;

namespace {

// Sets environment variables for as long as it lives; the tool started meanwhile inherits them.
class Environment {
public:
    Environment(std::initializer_list<std::pair<const char*, QString>> values)
    {
        for (const auto& [name, value] : values) {
            saved_.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
            qputenv(name, QFile::encodeName(value));
        }
    }
    ~Environment()
    {
        for (const auto& [name, value, set] : saved_)
            set ? qputenv(name, value) : qunsetenv(name);
    }

private:
    std::vector<std::tuple<const char*, QByteArray, bool>> saved_;
};

std::map<int, RgbaImage> themeImagesOf(const Bytes& file, std::string* problem = nullptr)
{
    const IconSource source = IconSource::fromBytes(file);
    std::map<int, RgbaImage> bySide;
    const ThemeImages made = themeImages(*source.group(0));
    for (const ThemeImage& image : made.images)
        bySide[image.side] = pngBySpng(image.png);
    if (problem)
        *problem = made.problem;
    return bySide;
}

std::vector<int> sidesOf(const std::map<int, RgbaImage>& images)
{
    std::vector<int> sides;
    for (const auto& [side, image] : images) {
        EXPECT_TRUE(image.width == side && image.height == side) << side;
        sides.push_back(side);
    }
    return sides;
}

Argb centre(const RgbaImage& image) { return pixelAt(image, image.width / 2, image.height / 2); }

// A data folder of the test's own, and an empty system one; the icon goes under data/icons/hicolor.
struct ThemeFolders {
    QTemporaryDir dir;
    QString data = dir.filePath("data");
    Environment environment{{"XDG_DATA_HOME", data}, {"XDG_DATA_DIRS", dir.filePath("system")}};

    QString icon(int side, const QString& name) const
    {
        return QStringLiteral("%1/icons/hicolor/%2x%2/apps/%3.png").arg(data).arg(side).arg(name);
    }
    QString record(const QString& name) const { return data + "/glimmer-gatherer/installed-icons/" + name; }
};

} // namespace

TEST(ThemeImages, EachThemeSizeTakesTheGroupsOwnImageOfTheBestDepth)
{
    const Argb red = argb(200, 0, 0), green = argb(0, 200, 0), blue = argb(0, 0, 200), yellow = argb(200, 200, 0),
               white = argb(250, 250, 250), cyan = argb(0, 200, 200), magenta = argb(200, 0, 200);
    // A 20 and a 12 besides: the theme has no folder for 20 and its 16 is the icon's own; nothing below 16.
    const std::map<int, RgbaImage> images = themeImagesOf(iconFile({{16, 16, 8, red},
                                                                 {32, 32, 4, green},
                                                                 {32, 32, 32, blue},
                                                                 {32, 32, 24, yellow},
                                                                 {20, 20, 32, magenta},
                                                                 {48, 48, 32, white},
                                                                 {12, 12, 32, magenta},
                                                                 {256, 256, 32, cyan, true}}));
    EXPECT_EQ(sidesOf(images), (std::vector<int>{16, 32, 48, 256}));
    EXPECT_EQ(centre(images.at(16)), red);
    EXPECT_EQ(centre(images.at(32)), blue) << "32 bits before 24 and 4";
    EXPECT_EQ(centre(images.at(48)), white);
    EXPECT_EQ(centre(images.at(256)), cyan);
}

TEST(ThemeImages, OtherSizesGoScaledDownToTheThemeSizeBelowAndNotSquareOnesAreCentred)
{
    const Argb red = argb(200, 0, 0), green = argb(0, 200, 0), blue = argb(0, 0, 200);
    const std::map<int, RgbaImage> images =
        themeImagesOf(iconFile({{40, 40, 32, red}, {512, 512, 32, green, true}, {48, 32, 32, blue}}));
    EXPECT_EQ(sidesOf(images), (std::vector<int>{36, 48, 256}));
    EXPECT_EQ(centre(images.at(36)), red);
    EXPECT_EQ(centre(images.at(256)), green);
    EXPECT_EQ(centre(images.at(48)), blue);
    EXPECT_EQ(alphaOf(pixelAt(images.at(48), 24, 0)), 0) << "48 x 32 on a transparent 48 x 48";
    EXPECT_EQ(alphaOf(pixelAt(images.at(48), 24, 8)), 255);
    EXPECT_EQ(centre(themeImagesOf(iconFile({{48, 32, 32, blue}, {48, 48, 32, red}})).at(48)), red) << "square first";
}

TEST(ThemeImages, OneSizeAllPng256AndNothingOfSixteenOrMore)
{
    EXPECT_EQ(sidesOf(themeImagesOf(iconFile({{32, 32, 4}}))), (std::vector<int>{32}));
    EXPECT_EQ(sidesOf(themeImagesOf(readFile(dataPath("png-256.ico")))), (std::vector<int>{256}));
    std::string problem;
    EXPECT_TRUE(themeImagesOf(iconFile({{8, 8, 4}, {12, 12, 32}}), &problem).empty());
    EXPECT_EQ(problem, "the icon has no image of 16 x 16 or larger");
}

TEST(IconThemeName, CleanedIntoANameEveryThemeTakes)
{
    const std::vector<std::pair<std::string, std::string>> names{
        {"My Game", "my-game"},         {"\xc3\x9c" "ber  Tool!", "ber-tool"}, {"--rm -rf", "rm-rf"},
        {"..", "icon"},                 {"", "icon"},                          {"\xe6\x97\xa5", "icon"},
        {"Setup.V2", "setup.v2"},       {"game.PNG", "game"},                  {".hidden_one", "hidden_one"},
        {"a/b\\c", "a-b-c"},            {std::string(300, 'a'), std::string(200, 'a')}};
    for (const auto& [given, cleaned] : names)
        EXPECT_EQ(cleanIconName(given), cleaned) << given;
    EXPECT_EQ(iconNameForFile("/games/Pinball Deluxe.EXE"), "pinball-deluxe");
    EXPECT_EQ(iconNameForFile("setup"), "setup");
}

TEST(InstallIcon, InstallsEverySizeUnderTheFilesNameAndUninstallTakesBackOnlyItsOwn)
{
    ThemeFolders theme;
    const QString program = theme.dir.filePath("My Sizes.ICO");
    ASSERT_TRUE(QFile::copy(fixture("sizes.ico"), program));
    const ToolRun installed = runTool({"install-icon", program});
    ASSERT_EQ(installed.code, 0) << installed.err.toStdString();
    EXPECT_EQ(installed.out, QByteArray("my-sizes\n"));
    for (int side : {16, 32, 48, 256})
        EXPECT_EQ(QImage(theme.icon(side, "my-sizes")).size(), QSize(side, side));

    // Someone's own icon beside ours, and our 32 changed since.
    writeFile(theme.icon(48, "other"), "someone else's");
    writeFile(theme.icon(32, "my-sizes"), "edited");
    const ToolRun removed = runTool({"uninstall-icon", "my-sizes"});
    EXPECT_EQ(removed.code, 1);
    EXPECT_EQ(removed.err, "glimmer-extract: " + theme.icon(32, "my-sizes") +
                               ": changed since glimmer-extract installed it; left in place\n");
    EXPECT_FALSE(QFileInfo::exists(theme.record("my-sizes")));
    EXPECT_EQ(contents(theme.icon(32, "my-sizes")), "edited");
    EXPECT_EQ(contents(theme.icon(48, "other")), "someone else's");
    for (int side : {16, 48, 256})
        EXPECT_FALSE(QFileInfo::exists(theme.icon(side, "my-sizes"))) << side;
    EXPECT_FALSE(QFileInfo::exists(theme.data + "/icons/hicolor/16x16")) << "a folder it made, left empty";
    const ToolRun again = runTool({"uninstall-icon", "my-sizes"});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.err, "glimmer-extract: my-sizes: no icon of this name was installed by glimmer-extract\n");
}

TEST(InstallIcon, ANameHeldElsewhereIsNeverTakenAndReplaceReplacesOnlyOurs)
{
    ThemeFolders theme;
    // The user's own file under the name: refused, --replace or not, and nothing is written.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(theme.icon(256, "game")).path()));
    writeFile(theme.icon(256, "game"), "mine");
    for (const QStringList& args : {QStringList{"install-icon", "--name", "game", fixture("sizes.ico")},
                                    QStringList{"install-icon", "--name=Game", "--replace", fixture("sizes.ico")}}) {
        const ToolRun refused = runTool(args);
        EXPECT_EQ(refused.code, 1);
        EXPECT_TRUE(refused.err.startsWith("glimmer-extract: " + theme.icon(256, "game") + ": holds the name game"))
            << refused.err.toStdString();
        EXPECT_EQ(contents(theme.icon(256, "game")), "mine");
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(theme.icon(32, "game")).path()));
    }
    // So is a name an icon of the system holds.
    const QString system = theme.dir.filePath("system/icons/hicolor/48x48/apps/word.png");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(system).path()));
    writeFile(system, "the system's");
    EXPECT_TRUE(runTool({"install-icon", "--name", "word", fixture("sizes.ico")}).err.contains(system + ": holds the name word"));

    // An icon of ours: kept without --replace; with it, the new icon's sizes replace the old ones.
    ASSERT_EQ(runTool({"install-icon", "--name", "pics", fixture("sizes.ico")}).code, 0);
    const QByteArray before = contents(theme.icon(32, "pics"));
    const ToolRun kept = runTool({"install-icon", "--name", "pics", fixture("tool32.exe")});
    EXPECT_EQ(kept.code, 1);
    EXPECT_TRUE(kept.err.endsWith("pics: is in the icon theme already, installed by glimmer-extract; --replace replaces it\n"))
        << kept.err.toStdString();
    const ToolRun replaced = runTool({"install-icon", "--name", "pics", "--replace", fixture("tool32.exe")});
    ASSERT_EQ(replaced.code, 0) << replaced.err.toStdString();
    EXPECT_NE(contents(theme.icon(32, "pics")), before);
    for (int side : {16, 48, 256})
        EXPECT_FALSE(QFileInfo::exists(theme.icon(side, "pics"))) << side;
    EXPECT_EQ(runTool({"uninstall-icon", "pics"}).code, 0);
    EXPECT_FALSE(QFileInfo::exists(theme.icon(32, "pics")));
}

TEST(InstallIcon, AFolderThatTakesNoFilesGivesOneClearErrorAndLeavesNothing)
{
    ThemeFolders theme;
    const QString apps48 = QFileInfo(theme.icon(48, "x")).path();
    ASSERT_TRUE(QDir().mkpath(apps48));
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                      QFileDevice::WriteOther | QFileDevice::ExeOther;
    const auto shut = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther;
    for (const QString& folder : {theme.dir.path(), theme.data + "/icons", theme.data + "/icons/hicolor", apps48 + "/.."})
        QFile::setPermissions(folder, open);
    QFile::setPermissions(apps48, shut);
    QFile::setPermissions(theme.data, shut);
    // Root's own rights are put aside in the child.
    const auto asAnotherUser = [] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(99);
    };
    const ToolRun readOnly = runTool({"install-icon", fixture("sizes.ico")}, {}, asAnotherUser);
    EXPECT_EQ(readOnly.code, 1);
    EXPECT_EQ(readOnly.err, "glimmer-extract: " + theme.data + "/glimmer-gatherer: Permission denied\n");
    EXPECT_TRUE(readOnly.out.isEmpty());
    EXPECT_EQ(QDir(theme.data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"icons"});

    // The data folder takes files but one size's folder does not: the sizes before it go again.
    QFile::setPermissions(theme.data, open);
    const ToolRun partly = runTool({"install-icon", fixture("sizes.ico")}, {}, asAnotherUser);
    EXPECT_EQ(partly.code, 1);
    EXPECT_EQ(partly.err, "glimmer-extract: " + theme.icon(48, "sizes") + ": Permission denied\n");
    for (int side : {16, 32})
        EXPECT_FALSE(QFileInfo::exists(theme.icon(side, "sizes"))) << side;
    EXPECT_FALSE(QFileInfo::exists(theme.data + "/icons/hicolor/16x16"));
    EXPECT_FALSE(QFileInfo::exists(theme.record("sizes")));
}

// The command-line reader of glimmer-extract: every way of writing an option, the limits of each
// value, and the arguments each command needs.
#include "tool/command_line.h"

#include <gtest/gtest.h>

using namespace gg::tool;

namespace {

using Args = std::vector<std::string>;

std::string describe(const Args& args)
{
    std::string text;
    for (const std::string& arg : args)
        text += "[" + arg + "]";
    return text;
}

} // namespace

TEST(CommandLine, EveryFormOfEveryOptionGivesItsValue)
{
    struct Option {
        std::string verb, shortName, longName, value;
        std::function<bool(const Request&)> took;
    };
    const std::vector<Option> options{
        {"extract", "-s", "--size", "64", [](const Request& r) { return r.size == 64; }},
        {"thumbnail", "-s", "--size", "64", [](const Request& r) { return r.size == 64; }},
        {"extract", "-f", "--format", "png", [](const Request& r) { return r.format == Format::Png; }},
        {"extract", "-i", "--icon", "3", [](const Request& r) { return r.icon == 3; }},
        {"extract", "-o", "--output", "out", [](const Request& r) { return r.outputFolder == "out"; }},
        {"extract", "-g", "--group", "MAIN", [](const Request& r) { return r.group && r.group->name == "MAIN"; }},
        {"list", "-g", "--group", "7", [](const Request& r) { return r.group && r.group->byNumber && r.group->number == 7; }},
        {"install-icon", "-i", "--icon", "2", [](const Request& r) { return r.icon == 2; }},
    };
    for (const Option& o : options) {
        for (const Args& form : {Args{o.longName + "=" + o.value}, Args{o.longName, o.value}, Args{o.shortName + o.value},
                                 Args{o.shortName, o.value}}) {
            Args args{o.verb};
            args.insert(args.end(), form.begin(), form.end());
            // --size goes with png pictures only.
            if (o.verb == "extract" && o.shortName == "-s")
                args.insert(args.end(), {"-f", "png"});
            args.insert(args.end(), {"a.exe", "b.png"});
            if (o.verb != "thumbnail")
                args.pop_back();
            const CommandLine line = readCommandLine(args);
            ASSERT_TRUE(line.request) << describe(args) << ": " << line.error;
            EXPECT_TRUE(o.took(*line.request)) << describe(args);
            EXPECT_EQ(line.request->files.front(), "a.exe") << describe(args);
        }
    }
    const CommandLine install = readCommandLine({"install-icon", "--name=Game", "--replace", "--desktop-entry", "wine g.exe", "g.exe"});
    ASSERT_TRUE(install.request) << install.error;
    EXPECT_EQ(install.request->iconName, "Game");
    EXPECT_TRUE(install.request->replace);
    EXPECT_EQ(install.request->desktopEntry, "wine g.exe");
    // After "--" everything is a file, even "-h"; before it, a lone "-" is one too.
    const CommandLine dashed = readCommandLine({"list", "--json", "-", "--", "-s", "--json", "-h"});
    ASSERT_TRUE(dashed.request) << dashed.error;
    EXPECT_EQ(dashed.request->verb, Verb::List);
    EXPECT_TRUE(dashed.request->json);
    EXPECT_EQ(dashed.request->files, (Args{"-", "-s", "--json", "-h"}));
    // Formats are named in any case.
    for (const char* name : {"PNG", "Png", "png"}) {
        const CommandLine line = readCommandLine({"extract", "--format", name, "a.exe"});
        ASSERT_TRUE(line.request) << name;
        EXPECT_EQ(line.request->format, Format::Png);
    }
}

TEST(CommandLine, ValuesAtAndPastTheirLimits)
{
    struct Case {
        Args args;
        const char* error; // nullptr when the line is good
    };
    const char* const badSize = "size '%' is not a number from 1 to 1024";
    const std::vector<Case> cases{
        {{"extract", "-f", "png", "-s", "1", "a"}, nullptr},
        {{"extract", "-f", "png", "-s", "1024", "a"}, nullptr},
        {{"extract", "-f", "png", "-s", "0", "a"}, badSize},
        {{"extract", "-f", "png", "-s", "1025", "a"}, badSize},
        {{"thumbnail", "-s", "1", "a", "b"}, nullptr},
        {{"thumbnail", "-s", "1024", "a", "b"}, nullptr},
        {{"thumbnail", "-s", "0", "a", "b"}, badSize},
        {{"thumbnail", "-s", "99999", "a", "b"}, badSize},
        {{"thumbnail", "-s", "64x", "a", "b"}, badSize},
        {{"extract", "-i", "0", "a"}, nullptr},
        {{"extract", "-i", "65535", "a"}, nullptr},
        {{"extract", "-i", "-1", "a"}, "icon '%' is not a number from 0 to 65535"},
        {{"extract", "-i", "65536", "a"}, "icon '%' is not a number from 0 to 65535"},
        {{"extract", "-g", "65535", "a"}, nullptr},
        {{"extract", "-g", "65536", "a"}, "group '%' is not a number from 0 to 65535"},
        {{"extract", "-g", "", "a"}, "the group is empty"},
        {{"extract", "-o", "", "a"}, "the output folder is empty"},
        {{"extract", "-f", "gif", "a"}, "format 'gif' is not ico, png or ico32"},
        {{"extract", "-s", "64", "a"}, "--size goes with --format png"},
        {{"extract", "-i", "0", "-g", "1", "a"}, "--icon and --group do not go together"},
        {{"extract", "a", "-i"}, "option -i needs a value"},
        {{"list", "-f", "png", "a"}, "unknown option '-f' for list"},
        {{"thumbnail", "-s", "64", "-i", "0", "a", "b"}, "unknown option '-i' for thumbnail"},
        {{"thumbnail", "-s", "64"}, "thumbnail needs an INPUT and an OUTPUT file"},
        {{"thumbnail", "-s", "64", "a"}, "thumbnail needs an INPUT and an OUTPUT file"},
        {{"thumbnail", "-s", "64", "a", "b", "c"}, "thumbnail needs an INPUT and an OUTPUT file"},
        {{"thumbnail", "a", "b"}, "thumbnail needs -s SIZE"},
        {{"extract"}, "no FILE given"},
        {{}, "no command given (list, extract, thumbnail, install-icon or uninstall-icon)"},
        {{"install-icon", "--name", "", "a"}, "the name is empty"},
        {{"install-icon", "--desktop-entry", "wine a.exe\nrm x", "a"}, "the launcher's command must be one line of UTF-8 text"},
        {{"install-icon", "--desktop-entry", "wine caf\xe9.exe", "a"}, "the launcher's command must be one line of UTF-8 text"},
        {{"install-icon", "-i", "1", "-g", "2", "a"}, "--icon and --group do not go together"},
        {{"install-icon", "a", "b"}, "install-icon takes one FILE"},
        {{"install-icon", "--overwrite", "a"}, "unknown option '--overwrite' for install-icon"},
        {{"uninstall-icon"}, "uninstall-icon takes one NAME"},
        {{"uninstall-icon", "--replace", "a"}, "unknown option '--replace' for uninstall-icon"},
    };
    for (const Case& c : cases) {
        const CommandLine line = readCommandLine(c.args);
        if (c.error == nullptr) {
            EXPECT_TRUE(line.request) << describe(c.args) << ": " << line.error;
            continue;
        }
        EXPECT_FALSE(line.request) << describe(c.args);
        // "%" stands for the value given, the argument before the last file.
        std::string expected = c.error;
        if (const std::size_t at = expected.find('%'); at != std::string::npos)
            expected.replace(at, 1, c.args[c.args.size() - (c.args[0] == "thumbnail" ? 3 : 2)]);
        EXPECT_EQ(line.error, expected) << describe(c.args);
    }
}

#include "tool/command_line.h"

#include "icons/icon_groups.h"
#include "tool/text.h"

#include <algorithm>
#include <charconv>

namespace gg::tool {

const char* const kHelpText =
    "Usage: glimmer-extract list [--json] [-g GROUP] FILE...\n"
    "       glimmer-extract extract [OPTION]... FILE...\n"
    "       glimmer-extract thumbnail -s SIZE INPUT OUTPUT\n"
    "       glimmer-extract install-icon [-i N | -g GROUP] [OPTION]... FILE\n"
    "       glimmer-extract uninstall-icon NAME\n"
    "Takes the icons out of Windows files (.exe .dll .icl .ico .cur .ani and more)\n"
    "in full quality. A FOLDER stands for the files in it and in its subfolders.\n"
    "  list [--json]     one line per icon: file, number, group, images (or JSON)\n"
    "  extract           writes icons into files named after their file:\n"
    "                    name.ico, name1.ico, ... (existing files are kept)\n"
    "  -f, --format F    ico: each icon's whole group (the default); png: a picture,\n"
    "                    largest size or --size; ico32: the window's 32 x 32 icon\n"
    "  -s, --size N      side of the png picture or thumbnail, 1 to 1024\n"
    "  -i, --icon N      only icon N of each file, numbered from 0 as list does\n"
    "  -g, --group G     only the groups named or numbered G (list too)\n"
    "  -o, --output DIR  the folder to write into (default: the current one)\n"
    "      --overwrite   replace name.ico, name1.ico, ... where they exist\n"
    "  thumbnail         a SIZE x SIZE PNG of the file's first icon\n"
    "  install-icon      an icon (the first, -i or -g) into the desktop's icon theme\n"
    "                    in every size, printing its name; --name NAME, --replace\n"
    "                    (ours only), --desktop-entry COMMAND (a launcher too)\n"
    "  -h, --help        this help        -V, --version  the version\n"
    "Exit status: 0 when all was done, 1 when some file had a problem, 2 for a\n"
    "wrong command line. See glimmer-extract(1).\n";

namespace {

constexpr const char* kVerbs = "list, extract, thumbnail, install-icon or uninstall-icon";

template <class T>
std::optional<T> number(const std::string& text, T low, T high)
{
    T value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end || value < low || value > high)
        return std::nullopt;
    return value;
}

// The options of each verb; a value follows as the next argument or after "=" (or glued to a
// short option: -s256).
class Reader {
public:
    explicit Reader(const std::vector<std::string>& args) : args_(args) {}

    CommandLine read()
    {
        if (args_.empty())
            return wrong("no command given (" + std::string(kVerbs) + ")");
        for (const std::string& arg : args_) {
            if (arg == "--")
                break;
            if (arg == "-h" || arg == "--help")
                return ok(Verb::Help);
        }
        const std::string& verb = args_[0];
        if (verb == "-V" || verb == "--version")
            return ok(Verb::Version);
        if (verb == "list")
            request_.verb = Verb::List;
        else if (verb == "extract")
            request_.verb = Verb::Extract;
        else if (verb == "thumbnail")
            request_.verb = Verb::Thumbnail;
        else if (verb == "install-icon")
            request_.verb = Verb::InstallIcon;
        else if (verb == "uninstall-icon")
            request_.verb = Verb::UninstallIcon;
        else
            return wrong("unknown command '" + verb + "' (" + kVerbs + ")");
        for (next_ = 1; next_ < args_.size();) {
            const std::string arg = args_[next_++];
            if (arg == "--") {
                request_.files.insert(request_.files.end(), args_.begin() + static_cast<std::ptrdiff_t>(next_), args_.end());
                break;
            }
            if (arg.size() > 1 && arg[0] == '-') {
                if (!option(arg))
                    return wrong(error_);
            } else {
                request_.files.push_back(arg);
            }
        }
        return finish();
    }

private:
    CommandLine ok(Verb verb)
    {
        request_.verb = verb;
        return CommandLine{request_, {}};
    }
    static CommandLine wrong(std::string why) { return CommandLine{std::nullopt, std::move(why)}; }

    bool refuse(std::string why)
    {
        error_ = std::move(why);
        return false;
    }

    // The value of an option: "--size=9", "-s9" or the next argument.
    std::optional<std::string> valueOf(const std::string& arg, const std::string& name, std::size_t glued)
    {
        if (arg.size() > glued)
            return arg.substr(arg[glued] == '=' ? glued + 1 : glued);
        if (next_ < args_.size())
            return args_[next_++];
        error_ = "option " + name + " needs a value";
        return std::nullopt;
    }

    bool option(const std::string& arg)
    {
        const std::size_t eq = arg.find('=');
        const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, eq) : arg.substr(0, 2);
        const Verb verb = request_.verb;
        if (name == "--json" && verb == Verb::List && eq == std::string::npos) {
            request_.json = true;
            return true;
        }
        if (name == "--overwrite" && verb == Verb::Extract && eq == std::string::npos) {
            request_.overwrite = true;
            return true;
        }
        const bool extracting = verb == Verb::Extract;
        const bool installing = verb == Verb::InstallIcon;
        if (name == "--replace" && installing && eq == std::string::npos) {
            request_.replace = true;
            return true;
        }
        if (name == "--name" && installing) {
            std::optional<std::string> value = valueOf(arg, name, name.size());
            if (!value)
                return false;
            if (value->empty())
                return refuse("the name is empty");
            request_.iconName = *value;
            return true;
        }
        if (name == "--desktop-entry" && installing) {
            std::optional<std::string> value = valueOf(arg, name, name.size());
            if (!value)
                return false;
            // A desktop entry is UTF-8 text, one line a key.
            const bool control = std::any_of(value->begin(), value->end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
            });
            if (value->empty() || control || validUtf8(*value) != *value)
                return refuse("the launcher's command must be one line of UTF-8 text");
            request_.desktopEntry = *value;
            return true;
        }
        if ((name == "-s" || name == "--size") && (extracting || verb == Verb::Thumbnail)) {
            std::optional<std::string> value = valueOf(arg, name, name.size());
            if (!value)
                return false;
            // One rule for pictures and thumbnails; file managers ask for at most 1024, the largest
            // size of the thumbnail specification.
            std::optional<int> side = number(*value, 1, kMaxPictureSide);
            if (!side)
                return refuse("size '" + *value + "' is not a number from 1 to " + std::to_string(kMaxPictureSide));
            request_.size = *side;
            return true;
        }
        if ((name == "-f" || name == "--format") && extracting) {
            std::optional<std::string> value = valueOf(arg, name, name.size());
            if (!value)
                return false;
            std::string format = *value;
            for (char& c : format)
                c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            if (format == "ico")
                request_.format = Format::Ico;
            else if (format == "png")
                request_.format = Format::Png;
            else if (format == "ico32")
                request_.format = Format::Ico32;
            else
                return refuse("format '" + *value + "' is not ico, png or ico32");
            return true;
        }
        if ((name == "-i" || name == "--icon") && (extracting || installing)) {
            std::optional<std::string> value = valueOf(arg, name, name.size());
            if (!value)
                return false;
            std::optional<int> icon = number(*value, 0, 0xFFFF);
            if (!icon)
                return refuse("icon '" + *value + "' is not a number from 0 to 65535");
            request_.icon = *icon;
            return true;
        }
        if ((name == "-g" || name == "--group") && (extracting || installing || verb == Verb::List)) {
            std::optional<std::string> value = valueOf(arg, name, name.size());
            if (!value)
                return false;
            if (value->empty())
                return refuse("the group is empty");
            GroupChoice group;
            // Digits are a resource number, as resource compilers take them.
            if (std::optional<std::uint32_t> id = number<std::uint32_t>(*value, 0, 0xFFFF)) {
                group.byNumber = true;
                group.number = *id;
            } else if (value->find_first_not_of("0123456789") == std::string::npos) {
                return refuse("group '" + *value + "' is not a number from 0 to 65535");
            }
            group.name = *value;
            request_.group = group;
            return true;
        }
        if ((name == "-o" || name == "--output") && extracting) {
            std::optional<std::string> value = valueOf(arg, name, name.size());
            if (!value)
                return false;
            if (value->empty())
                return refuse("the output folder is empty");
            request_.outputFolder = *value;
            return true;
        }
        return refuse("unknown option '" + arg + "' for " + args_[0]);
    }

    CommandLine finish()
    {
        const Request& r = request_;
        if (r.verb == Verb::Thumbnail) {
            if (r.size == 0)
                return wrong("thumbnail needs -s SIZE");
            if (r.files.size() != 2)
                return wrong("thumbnail needs an INPUT and an OUTPUT file");
        } else if (r.verb == Verb::InstallIcon && r.files.size() != 1) {
            return wrong("install-icon takes one FILE");
        } else if (r.verb == Verb::UninstallIcon && r.files.size() != 1) {
            return wrong("uninstall-icon takes one NAME");
        } else if (r.files.empty()) {
            return wrong("no FILE given");
        }
        if (r.verb == Verb::Extract && r.size != 0 && r.format != Format::Png)
            return wrong("--size goes with --format png");
        if (r.icon >= 0 && r.group)
            return wrong("--icon and --group do not go together");
        return CommandLine{request_, {}};
    }

    const std::vector<std::string>& args_;
    std::size_t next_ = 1;
    Request request_;
    std::string error_;
};

} // namespace

CommandLine readCommandLine(const std::vector<std::string>& args) { return Reader(args).read(); }

} // namespace gg::tool

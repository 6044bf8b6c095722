#include "common/CommandLine.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <string>

namespace qmt {
namespace {

// The options the toolkit takes out of the command line itself, with one or
// two dashes; the first group takes a value (as the next argument or after "=").
const char* const ToolkitWithValue[] = {
    "platform",     "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon",  "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",      "geometry",           "name",          "title",  "visual",
    "qmljsdebugger"};
const char* const ToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

bool listed(const std::string& name, const char* const* begin, const char* const* end) {
    for (const char* const* it = begin; it != end; ++it)
        if (name == *it) return true;
    return false;
}

int refuse(const CommandLineInfo& info, const std::string& what) {
    std::fprintf(stderr, "%s: %s (%s --help lists the options)\n", info.program, what.c_str(),
                 info.program);
    return 2;
}

void printHelp(const CommandLineInfo& info) {
    std::printf("Usage: %s %s\n%s\n\n"
                "Options:\n"
                "  -h, --help     show this help and exit\n"
                "      --version  show the version and exit\n",
                info.program, info.synopsis, info.summary);
    if (info.toolkitOptions)
        std::printf("The toolkit's own options (-platform NAME, -style NAME ...) are accepted.\n");
    if (info.details && *info.details) std::printf("\n%s", info.details);
}

// --help and --version answer at once, wherever they stand among the options.
std::optional<int> answerInformation(const std::string& arg, const CommandLineInfo& info) {
    if (arg == "--help" || arg == "-h") {
        printHelp(info);
        return 0;
    }
    if (arg == "--version") {
        std::printf("%s %s\n", info.program, info.version);
        return 0;
    }
    return std::nullopt;
}

} // namespace

std::optional<int> HandleCommandLine(int argc, const char* const* argv, const CommandLineInfo& info,
                                     QStringList* found) {
    int arguments = 0;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            if (++arguments > info.maxArguments)
                return refuse(info, info.maxArguments == 0 ? "unexpected argument '" + arg + "'"
                                                           : "too many arguments");
            if (found) found->append(QFile::decodeName(argv[i]));
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (const std::optional<int> done = answerInformation(arg, info)) return done;
        const std::string body = arg.substr(arg[1] == '-' ? 2 : 1);
        const size_t equals = body.find('=');
        const std::string name = body.substr(0, equals);
        if (listed(name, std::begin(ToolkitWithValue), std::end(ToolkitWithValue))) {
            if (equals == std::string::npos) {
                if (i + 1 >= argc) return refuse(info, "option '" + arg + "' needs a value");
                ++i;
            }
            continue;
        }
        if (equals == std::string::npos &&
            listed(name, std::begin(ToolkitFlags), std::end(ToolkitFlags)))
            continue;
        return refuse(info, "unknown option '" + arg + "'");
    }
    return std::nullopt;
}

std::optional<int> HandleHelpAndVersion(int argc, const char* const* argv,
                                        const CommandLineInfo& info,
                                        std::initializer_list<const char*> valueOptions) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (const std::optional<int> done = answerInformation(arg, info)) return done;
        if (arg == "--" || arg.size() < 2 || arg[0] != '-') break; // the command
        if (listed(arg, valueOptions.begin(), valueOptions.end())) ++i;
    }
    return std::nullopt;
}

int RefuseCommandLine(const CommandLineInfo& info, const std::string& what) {
    return refuse(info, what);
}

} // namespace qmt

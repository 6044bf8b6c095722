#pragma once
// --help, --version and refused options, answered before the application
// object exists: they work without a display, over ssh or in a script.

#include <QStringList>

#include <initializer_list>
#include <optional>
#include <string>

namespace qmt {

struct CommandLineInfo {
    const char* program;  // "QMT584_View"
    const char* version;  // "1.0.0.1"
    const char* synopsis; // what follows the name in the usage line: "[FILE]"
    const char* summary;  // one line: what the program is
    const char* details;  // text after the options (may be empty)
    int maxArguments;     // arguments that are not options: 0 or 1
    // A windowed program accepts the toolkit's options; a console one has none.
    bool toolkitOptions = true;
};

// --help / -h print the usage on standard output (result 0), --version the
// version line (0); an unknown option or a surplus argument gives one line on
// standard error (2). The toolkit's own options (-platform NAME, -style NAME ...)
// pass. Without a result the program goes on with the arguments that are not
// options in `arguments` ("--" ends the options, for a file named "-x").
std::optional<int> HandleCommandLine(int argc, const char* const* argv, const CommandLineInfo& info,
                                     QStringList* arguments = nullptr);

// For a program with options and commands of its own: answers only --help
// and --version given before its command (the first argument that is not an
// option), where the options in valueOptions take the next argument as their
// value. Everything else is the program's to read.
std::optional<int> HandleHelpAndVersion(int argc, const char* const* argv,
                                        const CommandLineInfo& info,
                                        std::initializer_list<const char*> valueOptions);
// "PROGRAM: WHAT (PROGRAM --help lists the options)" on standard error; the
// usage error's exit code 2.
int RefuseCommandLine(const CommandLineInfo& info, const std::string& what);

} // namespace qmt

#pragma once
// curvix --measure FILE [--from S] [--to S] [--csv]: the statistics and step
// figures of a range of a value log or CSV, as the window's panel shows them,
// printed without a window.

#include <QStringList>

#include <cstdio>

namespace curvix {

// True when the command line asks for a measurement (before any "--";
// --help and --version are answered as without it).
bool wantsMeasure(int argc, const char* const* argv);

// Runs it on the arguments after the program name: 0 done, 1 the file could
// not be read, 2 a usage error; messages on `err`.
int measureCommand(const QStringList& args, std::FILE* out, std::FILE* err);

} // namespace curvix

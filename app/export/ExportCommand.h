#pragma once
// qmt584-cli export: the Prometheus exporter's command line.
//   qmt584-cli export --config FILE [--listen HOST:PORT]
//   qmt584-cli export --check --config FILE
// Read-only by design: it never writes to a module.

#include "common/CommandLine.h"

#include <QString>

#include <optional>

namespace qmt::exporter {

inline constexpr char DefaultListen[] = "127.0.0.1:9584";

// argv[1] is "export".
int Main(int argc, char** argv, const CommandLineInfo& info);

struct ListenAddress {
    QString host;
    quint16 port = 0;
};
// "127.0.0.1:9584", "[::1]:9584", "0.0.0.0:9584"; nothing when malformed.
std::optional<ListenAddress> ParseListen(const QString& text);

} // namespace qmt::exporter

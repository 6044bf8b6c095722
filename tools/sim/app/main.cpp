// qmt584-sim: a virtual QMT-584 module behind a pseudo-terminal or a TCP port.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/Options.h"
#include "app/Server.h"
#include "app/TcpServer.h"
#include "core/Module.h"

using namespace qmt::sim;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

bool saveState(const std::string& path, const Module& m) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << m.saveImage();
        if (!out.flush()) return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions opt;
    std::string error;
    if (!parseOptions(argc, argv, opt, error)) {
        std::fprintf(stderr, "qmt584-sim: %s (qmt584-sim --help lists the options)\n",
                     error.c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(usageText(), stdout);
        std::fputs(
            "A virtual QMT-584 module on a pseudo-terminal, for QMT584_View without hardware.\n\n"
            "  -h, --help     show this help and exit\n"
            "      --version  show the version and exit\n"
            "Every option and the control commands: man qmt584-sim.\n",
            stdout);
        return 0;
    }
    if (opt.version) {
        std::printf("qmt584-sim %s\n", QMT_VERSION);
        return 0;
    }

    Module module(opt.module);
    if (!opt.state.empty()) {
        std::ifstream in(opt.state);
        if (in) {
            std::stringstream text;
            text << in.rdbuf();
            if (!module.loadImage(text.str(), &error))
                std::fprintf(stderr, "qmt584-sim: state %s ignored: %s\n", opt.state.c_str(),
                             error.c_str());
        }
        // Options given on the command line win over the stored image.
        if (opt.hasType) module.setReg(reg::Type, opt.module.type);
        if (opt.hasSerial) module.setReg(reg::Serial, opt.module.serial);
        if (opt.hasFirmware) module.setReg(reg::Firmware, opt.module.firmware);
        if (opt.hasAddress) module.setReg(reg::Address, opt.module.address);
        if (opt.hasBaud) module.setReg(reg::Baud, static_cast<uint16_t>(opt.module.baud / 100));
        if (opt.hasParity) module.setReg(reg::Parity, opt.module.parity);
    }

    // The further stations of the line: the same model, their own registers.
    std::vector<std::unique_ptr<Module>> more;
    Line line(module);
    for (size_t i = 0; i < opt.moreStations.size(); ++i) {
        ModuleOptions station = opt.module;
        station.address = opt.moreStations[i];
        station.seed = opt.module.seed + static_cast<uint32_t>(i) + 1; // noise of its own
        more.push_back(std::make_unique<Module>(station));
        line.add(*more.back());
    }

    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    int rc = 0;
    if (!opt.tcp.empty()) {
        TcpServer server(line, opt);
        if (!server.open(error)) {
            std::fprintf(stderr, "qmt584-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("ready %s\n", server.address().c_str());
        std::fflush(stdout);
        server.run(g_stop);
    } else {
        Server server(line, opt);
        if (!server.open(error)) {
            std::fprintf(stderr, "qmt584-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("ready %s\n", server.slavePath().c_str());
        std::fflush(stdout);
        server.run(g_stop);
    }
    if (!opt.state.empty() && !saveState(opt.state, module)) {
        std::fprintf(stderr, "qmt584-sim: cannot save state to %s\n", opt.state.c_str());
        rc = 1;
    }
    return rc;
}

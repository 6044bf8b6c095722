// Runs qmt584-sim as a child process for end-to-end tests.
//
//     qmt::sim::SimProcess sim;
//     std::string port = sim.start({"--baud", "9600"});   // the link to open
//     sim.sendControl("wire 1 voltage +");
//     ...
//     sim.stop();
//
// Unless the arguments say otherwise, the link, the control FIFO and the
// trace file are made up in a fresh temporary folder, removed by the
// destructor or the next start() (so the trace can still be read after stop()).
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace qmt::sim {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess(); // stops a running simulator
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator and waits (up to 5 s) for its "ready" line.
    // Returns the link path a master opens (with --tcp: the HOST:PORT it
    // listens on, the port chosen by the system when 0 was given), or "" with
    // error() set.
    std::string start(const std::vector<std::string>& args = {});

    // Sends one control command and waits (up to 3 s) for its acknowledgement.
    // false when the simulator refused it or did not answer. answer, when
    // given, gets the line the command printed before it ("meter 421 uA").
    bool sendControl(const std::string& line, std::string* answer = nullptr);

    // SIGTERM, then waits for the exit (SIGKILL after 5 s). Returns the exit
    // status, or -1 when it was not running or did not exit normally.
    int stop();

    // Lines of the trace file so far ("< 01 03 ..." / "> 01 03 ...").
    std::vector<std::string> traceLines() const;

    // What the running simulator reports through its "dump" command, by name
    // ("264", "output_uA" ...); empty when it did not answer.
    std::map<std::string, double> dump();
    // One register of the dump, or -1 when it is not there.
    long registerValue(int address);

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& linkPath() const { return link_; }
    const std::string& slavePath() const { return slave_; }
    const std::string& controlPath() const { return control_; }
    const std::string& tracePath() const { return trace_; }
    const std::string& error() const { return error_; }

    // The executable: $QMT584_SIM when set, else qmt584-sim beside the
    // running program (every deliverable lands in the build folder).
    static std::string executable();

private:
    void readOutput(int fd);
    bool waitLine(const std::string& prefix, int timeoutMs, std::string* line);
    void cleanUp();

    pid_t pid_ = -1;
    int outFd_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::string> lines_;
    bool eof_ = false;
    std::string dir_, link_, slave_, control_, trace_, error_;
};

} // namespace qmt::sim

#pragma once
// The built curvix as a child on two pipes, as the program starts it, with a
// dump file of what its window applied.

#include <string>
#include <sys/types.h>
#include <vector>

namespace curvix::test {

class ViewerProcess {
public:
    ViewerProcess();
    ~ViewerProcess(); // ends the child if it still runs
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    bool start(const std::vector<std::string>& args = {});
    // Writes raw bytes; false once the viewer no longer reads.
    bool write(const std::string& bytes);
    // Reads one frame's payload, waiting up to timeoutMs; false on time-out or end.
    bool readFrame(std::string& payload, int timeoutMs = 3000);
    // True when the viewer has sent nothing more within waitMs.
    bool silent(int waitMs);
    void closeInput();
    // The program stops reading the answers (it exited or closed its end).
    void closeOutput();
    bool alive();
    // Registration: sends the thread message and returns the viewer's token (0: none).
    uint32_t handshake();
    // Sends a copy-data message and waits for its 'A'.
    bool deliver(uint32_t token, const std::string& record);

    // Lines of the dump so far; waitFor polls until one starts with prefix.
    std::vector<std::string> dumpLines() const;
    bool waitFor(const std::string& prefix, int timeoutMs = 5000) const;

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int toViewer_ = -1, fromViewer_ = -1;
    std::string folder_, dump_, pending_;
};

} // namespace curvix::test

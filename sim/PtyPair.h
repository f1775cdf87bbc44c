// The simulator's end of the line: a pseudo-terminal pair. The tool opens the
// slave device by its path; the simulator reads and writes the master.
//
// The simulator keeps a descriptor of its own on the slave for as long as the
// pair lives. Without it the master would see a hang-up each time the tool
// closes its port, and the line settings would be lost between two opens. The
// simulator takes no lock on the slave (no flock, no TIOCEXCL): the tool's
// own exclusive open must still succeed.
#pragma once

#include "sim/Line.h"

#include <string>
#include <system_error>

namespace orbel::sim {

// The link could not be made; the pair itself was fine.
class LinkError : public std::system_error {
public:
    using std::system_error::system_error;
};

class PtyPair : public Line {
public:
    PtyPair() = default;
    ~PtyPair() override;
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Opens the pair: master non-blocking, slave in raw mode without echo at
    // 9600 baud. When `link` is not empty, makes it a symbolic link to the
    // slave (replacing an older symbolic link there, never a file). Throws
    // LinkError for the link, std::system_error for the rest.
    void Open(const std::string& link);

    // Closes both descriptors and removes the link. The tool sees a hang-up.
    void Close() noexcept override;

    int Fd() const override { return master_; }
    const std::string& DevicePath() const override { return slavePath_; }
    bool IsOpen() const override { return master_ >= 0; }
    // The tool may close its port and open it again: the pair stays.
    bool HangUpIsFinal() const override { return false; }
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    const std::string& SlavePath() const { return slavePath_; }
    const std::string& LinkPath() const { return link_; }

private:
    void MakeLink(const std::string& link);
    void RemoveLink() noexcept;

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string link_;
};

} // namespace orbel::sim

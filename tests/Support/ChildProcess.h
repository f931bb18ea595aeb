#pragma once

// Child processes of a test: a command run while the main loop spins (so
// that it may talk to this process meanwhile, as a screen reader does), and
// the current test run again in a child with another environment (a display
// of its own, the accessibility bridge turned on).

#include "Platform/Clock.h"

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vesk::test {

// Each variable is set to its value, or unset when it has none.
using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct ProcessOutput {
    bool ended = false;      // false when it was stopped at the deadline, or could not start
    bool succeeded = false;  // it ended with status 0
    std::string output;      // what it printed, standard error included
};

// Runs `command` with `environment` until it ends or the deadline passes.
ProcessOutput runProcess(const std::vector<std::string>& command, const Environment& environment, Duration deadline);

struct ChildOutcome {
    enum class Result { passed, failed, skipped };
    Result result = Result::failed;
    std::string output;  // what the child printed, standard error included
};

// Runs the current test in a child with `environment` and waits for it to
// end; `launcher`, when given, starts the child (a command and its words,
// before the program's path).
ChildOutcome rerunThisTest(const Environment& environment, Duration deadline,
                           const std::vector<std::string>& launcher = {});

// A process that is stopped and waited for when let go; one that has already
// ended is only waited for.
struct ProcessStopper {
    void operator()(GSubprocess* process) const;
};
using Process = std::unique_ptr<GSubprocess, ProcessStopper>;

// Another process that runs this program, as another Vesk does: a copy of
// this one that only waits until it is stopped. Stopped and reaped when let go.
class ProgramCopy {
public:
    ProgramCopy();
    ~ProgramCopy();
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    int pid() const { return pid_; }
    // Stops it and waits until it has ended, without reaping it: it stays
    // an ended process that waits to be reaped.
    void stop();
    // Reaps it once stopped: its process id names nothing then.
    void reap();

private:
    int pid_ = -1;
    bool reaped_ = false;
};

} // namespace vesk::test

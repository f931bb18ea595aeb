#pragma once

// Who a process is, written where other processes read it (a file that
// records a change under way), and whether that process still runs. A
// process id alone may name another process once its own has ended, so the
// identity also holds the process's start time and the machine's boot.

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// "<boot id>/<process id>/<start time in clock ticks since boot>".
const std::string& currentProcessIdentity();

// The identity of a process that runs now; empty when it does not.
std::string processIdentity(int pid);

// Whether the process an identity names runs now and runs the same program
// as this one (judged by the name of its executable, which a reused process
// id or a crafted identity does not give). A text that is no such identity,
// or one of another boot, names no running process.
bool sameProgramRuns(const std::string& identity);

// The start time of a line of /proc/<pid>/stat: its 22nd field, counted
// after the program's name, which may itself hold blanks and parentheses.
// None for a process that has ended and waits to be reaped.
std::optional<std::string> startTimeOfStat(std::string_view stat);

} // namespace vesk

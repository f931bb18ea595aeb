#include "Platform/ProcessIdentity.h"

#include "Platform/RegularFile.h"

#include <glib.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>

namespace vesk {

namespace {

const std::string& bootID() {
    static const std::string id = [] {
        FileContents contents = readRegularFile("/proc/sys/kernel/random/boot_id", 4096);
        std::string text = contents.wasRead() ? contents.bytes : "";
        while (!text.empty() && g_ascii_isspace(text.back())) text.pop_back();
        return text;
    }();
    return id;
}

// The file name of the program a process runs; none when it cannot be told.
// An executable replaced since the process started is still its program.
std::optional<std::string> programOf(pid_t pid) {
    gchar* target = g_file_read_link(("/proc/" + std::to_string(pid) + "/exe").c_str(), nullptr);
    if (!target) return std::nullopt;
    std::string path(target);
    g_free(target);
    constexpr std::string_view replaced = " (deleted)";
    if (path.ends_with(replaced)) path.erase(path.size() - replaced.size());
    gchar* name = g_path_get_basename(path.c_str());
    std::string program(name);
    g_free(name);
    return program;
}

std::optional<std::string> startTime(pid_t pid) {
    FileContents contents = readRegularFile("/proc/" + std::to_string(pid) + "/stat", 65536);
    if (!contents.wasRead()) return std::nullopt;
    return startTimeOfStat(contents.bytes);
}

std::string identity(pid_t pid, const std::string& start) {
    return bootID() + "/" + std::to_string(pid) + "/" + start;
}

} // namespace

std::optional<std::string> startTimeOfStat(std::string_view stat) {
    auto close = stat.rfind(')');
    if (close == std::string_view::npos) return std::nullopt;
    std::size_t at = close + 1;
    for (int field = 3; field <= 22; ++field) {
        while (at < stat.size() && stat[at] == ' ') ++at;
        if (at == stat.size()) return std::nullopt;
        std::size_t end = stat.find(' ', at);
        if (end == std::string_view::npos) end = stat.size();
        if (field == 3 && (stat.compare(at, 1, "Z") == 0 || stat.compare(at, 1, "X") == 0)) return std::nullopt;
        if (field == 22) return std::string(stat.substr(at, end - at));
        at = end;
    }
    return std::nullopt;
}

const std::string& currentProcessIdentity() {
    static const std::string current = identity(::getpid(), startTime(::getpid()).value_or("0"));
    return current;
}

std::string processIdentity(int pid) {
    auto start = startTime(static_cast<pid_t>(pid));
    return start ? identity(static_cast<pid_t>(pid), *start) : "";
}

bool sameProgramRuns(const std::string& text) {
    auto first = text.find('/');
    auto second = first == std::string::npos ? std::string::npos : text.find('/', first + 1);
    if (second == std::string::npos || text.substr(0, first) != bootID()) return false;
    const std::string number = text.substr(first + 1, second - first - 1);
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) return false;
    const auto pid = static_cast<pid_t>(std::atol(number.c_str()));
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) return false;
    if (startTime(pid) != text.substr(second + 1)) return false;
    static const std::optional<std::string> ours = programOf(::getpid());
    auto theirs = programOf(pid);
    return ours && theirs == ours;
}

} // namespace vesk

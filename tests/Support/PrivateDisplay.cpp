#include "Support/PrivateDisplay.h"

#include "Support/MainLoop.h"

#include <gio/gio.h>
#include <glib-unix.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

namespace vesk::test {

namespace {

constexpr const char* marker = "VESK_PRIVATE_DISPLAY";

// The display number that Xvfb writes to the descriptor it is given, once
// it accepts connections; empty when it does not within the deadline.
std::string readDisplayNumber(int fd, Duration deadline) {
    std::string number;
    auto end = Clock::now() + deadline;
    while (Clock::now() < end) {
        GPollFD poll{fd, G_IO_IN, 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (g_poll(&poll, 1, static_cast<gint>(std::max<long long>(left, 1))) <= 0) continue;
        char byte = 0;
        if (read(fd, &byte, 1) != 1) break;
        if (byte == '\n') return number;
        number += byte;
    }
    return {};
}

} // namespace

bool onPrivateDisplay() {
    return g_getenv(marker) != nullptr;
}

ChildOutcome rerunOnPrivateDisplay(Duration deadline) {
    ChildOutcome outcome;
    int fds[2];
    if (!g_unix_open_pipe(fds, FD_CLOEXEC, nullptr)) {
        outcome.output = "no pipe for the display number";
        return outcome;
    }
    GSubprocessLauncher* serverLauncher = g_subprocess_launcher_new(
        static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE | G_SUBPROCESS_FLAGS_STDERR_SILENCE));
    g_subprocess_launcher_take_fd(serverLauncher, fds[1], 3);
    GError* error = nullptr;
    Process server(g_subprocess_launcher_spawn(serverLauncher, &error, "Xvfb", "-displayfd", "3", "-screen", "0",
                                               "1280x1024x24", "-nolisten", "tcp", nullptr));
    g_object_unref(serverLauncher);
    if (!server) {
        outcome.output = std::string("Xvfb did not start: ") + error->message;
        g_error_free(error);
        close(fds[0]);
        return outcome;
    }
    std::string number = readDisplayNumber(fds[0], seconds(20));
    close(fds[0]);
    if (number.empty()) {
        outcome.output = "Xvfb gave no display number";
        return outcome;
    }
    return rerunThisTest({{"DISPLAY", ":" + number}, {"WAYLAND_DISPLAY", std::nullopt}, {marker, "1"}}, deadline);
}

} // namespace vesk::test

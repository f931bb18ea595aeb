#include "Support/PrivateDisplay.h"

#include "Support/MainLoop.h"

#include <gio/gio.h>
#include <glib-unix.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <memory>

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

struct Stopper {
    // Does nothing to a process that has already ended.
    void operator()(GSubprocess* process) const {
        g_subprocess_send_signal(process, SIGTERM);
        g_subprocess_wait(process, nullptr, nullptr);
        g_object_unref(process);
    }
};
using Process = std::unique_ptr<GSubprocess, Stopper>;

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

    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    char* self = g_file_read_link("/proc/self/exe", nullptr);
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(
        static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_MERGE));
    g_subprocess_launcher_setenv(launcher, "DISPLAY", (":" + number).c_str(), TRUE);
    g_subprocess_launcher_unsetenv(launcher, "WAYLAND_DISPLAY");
    g_subprocess_launcher_setenv(launcher, marker, "1", TRUE);
    Process child(g_subprocess_launcher_spawn(launcher, &error, self, filter.c_str(), nullptr));
    g_object_unref(launcher);
    g_free(self);
    if (!child) {
        outcome.output = std::string("the test could not start again: ") + error->message;
        g_error_free(error);
        return outcome;
    }

    // Shared with the callback, which may outlive this call if the child
    // has to be stopped.
    struct Reading {
        bool done = false;
        std::string output;
    };
    auto reading = std::make_shared<Reading>();
    g_subprocess_communicate_utf8_async(
        child.get(), nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Reading>> reading(static_cast<std::shared_ptr<Reading>*>(data));
            char* out = nullptr;
            if (g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, &out, nullptr, nullptr) && out) {
                (*reading)->output = out;
            }
            g_free(out);
            (*reading)->done = true;
        },
        new std::shared_ptr<Reading>(reading));
    if (!spinUntil([&] { return reading->done; }, deadline)) {
        g_subprocess_force_exit(child.get());
        spinUntil([&] { return reading->done; }, seconds(10));
        outcome.output = "the test did not end in time\n" + reading->output;
        return outcome;
    }
    g_subprocess_wait(child.get(), nullptr, nullptr);
    outcome.output = reading->output;
    if (reading->output.find("[  SKIPPED ]") != std::string::npos) {
        outcome.result = ChildOutcome::Result::skipped;
    } else if (g_subprocess_get_successful(child.get()) && reading->output.find("[       OK ]") != std::string::npos) {
        outcome.result = ChildOutcome::Result::passed;
    }
    return outcome;
}

} // namespace vesk::test

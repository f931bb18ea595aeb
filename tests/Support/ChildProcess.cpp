#include "Support/ChildProcess.h"

#include "Support/MainLoop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace vesk::test {

void ProcessStopper::operator()(GSubprocess* process) const {
    g_subprocess_send_signal(process, SIGTERM);
    g_subprocess_wait(process, nullptr, nullptr);
    g_object_unref(process);
}

ProcessOutput runProcess(const std::vector<std::string>& command, const Environment& environment,
                         Duration deadline) {
    ProcessOutput outcome;
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(
        static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_MERGE));
    for (const auto& [name, value] : environment) {
        if (value) g_subprocess_launcher_setenv(launcher, name.c_str(), value->c_str(), TRUE);
        else g_subprocess_launcher_unsetenv(launcher, name.c_str());
    }
    std::vector<const char*> argv;
    for (const auto& word : command) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    GError* error = nullptr;
    Process child(g_subprocess_launcher_spawnv(launcher, argv.data(), &error));
    g_object_unref(launcher);
    if (!child) {
        outcome.output = command.front() + " could not start: " + error->message;
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
        outcome.output = command.front() + " did not end in time\n" + reading->output;
        return outcome;
    }
    g_subprocess_wait(child.get(), nullptr, nullptr);
    outcome.ended = true;
    outcome.succeeded = g_subprocess_get_successful(child.get());
    outcome.output = reading->output;
    return outcome;
}

ChildOutcome rerunThisTest(const Environment& environment, Duration deadline,
                           const std::vector<std::string>& launcher) {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    char* self = g_file_read_link("/proc/self/exe", nullptr);
    std::vector<std::string> command = launcher;
    command.push_back(self ? self : "");
    command.push_back(filter);
    g_free(self);
    ProcessOutput run = runProcess(command, environment, deadline);
    ChildOutcome outcome;
    outcome.output = run.output;
    if (run.output.find("[  SKIPPED ]") != std::string::npos) {
        outcome.result = ChildOutcome::Result::skipped;
    } else if (run.succeeded && run.output.find("[       OK ]") != std::string::npos) {
        outcome.result = ChildOutcome::Result::passed;
    }
    return outcome;
}

ProgramCopy::ProgramCopy() : pid_(::fork()) {
    // The copy touches nothing of the test's: it waits for its signal.
    if (pid_ == 0) {
        for (;;) ::pause();
    }
    EXPECT_GT(pid_, 0) << "fork failed";
}

ProgramCopy::~ProgramCopy() {
    if (pid_ <= 0 || reaped_) return;
    ::kill(pid_, SIGKILL);
    reap();
}

void ProgramCopy::stop() {
    ::kill(pid_, SIGKILL);
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
}

void ProgramCopy::reap() {
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
}

} // namespace vesk::test

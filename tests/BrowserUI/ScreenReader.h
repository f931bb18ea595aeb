#pragma once

// What a screen reader finds of this program: its elements, read over
// AT-SPI by a reader in a process of its own; and a reader that keeps what it
// read, as one built on libatspi does, asked later whether it still finds
// the program.

#include "BrowserUI/RealKeys.h"
#include "Support/ChildProcess.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// The test runner turns accessibility off for every test; this one runs
// again in a child that has it on, on a D-Bus session of its own, so that
// its accessibility bus serves this program and no test beside it. It takes
// a display of its own first: the bus marks the display it serves, which
// would take the shared display's reader from the test beside it.
#define WITH_SCREEN_READER()                                                                                  \
    ON_PRIVATE_DISPLAY();                                                                                     \
    if (!g_getenv("VESK_ACCESSIBLE")) {                                                                       \
        auto outcome = vesk::test::rerunThisTest(                                                             \
            {{"GTK_A11Y", std::nullopt}, {"NO_AT_BRIDGE", std::nullopt}, {"VESK_ACCESSIBLE", "1"}}, vesk::seconds(150), \
            {"dbus-run-session", "--"});                                                                      \
        if (outcome.result == vesk::test::ChildOutcome::Result::skipped) GTEST_SKIP() << outcome.output;       \
        EXPECT_EQ(outcome.result, vesk::test::ChildOutcome::Result::passed) << outcome.output;                 \
        return;                                                                                               \
    }

namespace vesk::test {

struct Element {
    int depth = 0;
    std::string role;
    std::string name;
    std::vector<std::string> states;
    int children = 0;
    std::optional<std::string> text;  // what an element that offers text gives
    std::optional<std::string> placeholder;  // the prompt of an empty field
};

inline bool has(const Element& element, const std::string& state) {
    return std::find(element.states.begin(), element.states.end(), state) != element.states.end();
}

// Every element of this program, in document order.
inline std::vector<Element> readTree() {
    auto run = runProcess({"/usr/bin/python3", ACCESSIBLE_TREE_READER, std::to_string(getpid())}, {}, seconds(60));
    EXPECT_TRUE(run.succeeded) << run.output;
    std::vector<Element> elements;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != '{') continue;
        auto json = nlohmann::json::parse(line);
        Element element{json["depth"], json["role"], json["name"], json["states"], json["children"], std::nullopt,
                        std::nullopt};
        if (json["text"].is_string()) element.text = json["text"];
        if (json["placeholder"].is_string()) element.placeholder = json["placeholder"];
        elements.push_back(element);
    }
    return elements;
}

// Every element of this program that says it has the keyboard focus.
inline std::vector<Element> focusedElements() {
    std::vector<Element> focused;
    for (Element& element : readTree())
        if (has(element, "focused")) focused.push_back(std::move(element));
    return focused;
}

// The reader script run beside this program in one of its following modes,
// read line by line while this program answers it.
class ReaderProcess {
public:
    explicit ReaderProcess(const char* mode) {
        GError* error = nullptr;
        std::string pid = std::to_string(getpid());
        GSubprocessLauncher* launcher =
            g_subprocess_launcher_new(GSubprocessFlags(G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_PIPE));
        // A reader's own criticals are its own: they do not end it as they end a test.
        g_subprocess_launcher_unsetenv(launcher, "G_DEBUG");
        process_.reset(g_subprocess_launcher_spawn(launcher, &error, "/usr/bin/python3", ACCESSIBLE_TREE_READER, mode,
                                                   pid.c_str(), nullptr));
        g_object_unref(launcher);
        if (!process_) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
            return;
        }
        lines_.reset(g_data_input_stream_new(g_subprocess_get_stdout_pipe(process_.get())));
    }
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    bool started() const { return process_ != nullptr; }
    // A line on the reader's standard input.
    void ask() {
        GOutputStream* in = g_subprocess_get_stdin_pipe(process_.get());
        EXPECT_TRUE(g_output_stream_write_all(in, "\n", 1, nullptr, nullptr, nullptr));
    }

    // The reader's next line; empty when it said nothing more in time.
    std::string nextLine() {
        if (!process_) return {};
        struct Reading {
            bool done = false;
            std::string line;
        };
        auto reading = std::make_shared<Reading>();
        g_data_input_stream_read_line_async(
            lines_.get(), G_PRIORITY_DEFAULT, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<Reading>> reading(static_cast<std::shared_ptr<Reading>*>(data));
                char* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, nullptr, nullptr);
                (*reading)->line = line ? line : "";
                (*reading)->done = true;
                g_free(line);
            },
            new std::shared_ptr<Reading>(reading));
        EXPECT_TRUE(spinUntil([&] { return reading->done; }, seconds(60))) << "the reader did not answer";
        return reading->line;
    }

private:
    struct Unref {
        void operator()(gpointer object) const { g_object_unref(object); }
    };
    Process process_;
    std::unique_ptr<GDataInputStream, Unref> lines_;
};

// A reader built on libatspi that has read this program's whole tree and
// follows what the program tells it from then on.
class LastingReader {
public:
    LastingReader() {
        if (reader_.started()) {
            EXPECT_EQ(reader_.nextLine(), "read");
        }
    }

    // Whether the reader, having taken in all the program told it, still
    // finds it, with the names of its windows.
    std::optional<std::vector<std::string>> windowsFound() {
        if (!reader_.started()) return std::nullopt;
        reader_.ask();
        std::string line = reader_.nextLine();
        if (line.empty() || line[0] != '{') {
            ADD_FAILURE() << "the reader said " << line;
            return std::nullopt;
        }
        auto answer = nlohmann::json::parse(line);
        if (!answer["found"].get<bool>()) return std::nullopt;
        return answer["windows"].get<std::vector<std::string>>();
    }

private:
    ReaderProcess reader_{"--follow"};
};

// A reader that hears each element of this program that takes the keyboard,
// as the event of it arrives.
class FocusReader {
public:
    struct Heard {
        std::string name;
        std::string role;
        std::string description;
    };

    FocusReader() {
        if (reader_.started()) {
            EXPECT_EQ(reader_.nextLine(), "listening");
        }
    }

    // What the reader heard next; an empty name when it heard nothing in time.
    Heard next() {
        std::string line = reader_.nextLine();
        if (line.empty() || line[0] != '{') return {};
        auto heard = nlohmann::json::parse(line);
        return {heard["name"], heard["role"], heard["description"]};
    }

private:
    ReaderProcess reader_{"--focus"};
};

} // namespace vesk::test

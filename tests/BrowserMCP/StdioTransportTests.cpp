#include "BrowserMCP/StdioTransport.h"

#include "BrowserMCP/TransportError.h"
#include "Platform/Async.h"
#include "Support/MainLoop.h"

#include <gio/gunixinputstream.h>
#include <gio/gunixoutputstream.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace vesk;
using namespace vesk::test;

namespace {

std::string written(GOutputStream* stream) {
    auto* memory = G_MEMORY_OUTPUT_STREAM(stream);
    return std::string(static_cast<const char*>(g_memory_output_stream_get_data(memory)),
                       g_memory_output_stream_get_data_size(memory));
}

GInputStream* memoryInput(const std::string& bytes) {
    return g_memory_input_stream_new_from_data(g_memdup2(bytes.data(), bytes.size()), static_cast<gssize>(bytes.size()),
                                               g_free);
}

// Answers every line with "reply:" and the line, and keeps the lines it saw.
struct EchoHandler {
    std::vector<std::string> seen;
    StdioTransport::LineHandler handler() {
        return [this](std::string line) -> Task<std::optional<std::string>> {
            seen.push_back(line);
            co_return "reply:" + line;
        };
    }
};

struct Streams {
    GOutputStream* output = g_memory_output_stream_new_resizable();
    ~Streams() { g_object_unref(output); }
};

std::string serveAll(const std::string& input, StdioTransport::LineHandler handle) {
    Streams streams;
    GInputStream* in = memoryInput(input);
    {
        ReplyWriter writer(streams.output);
        runTask(StdioTransport::serve(in, writer, std::move(handle)));
    }
    g_object_unref(in);
    return written(streams.output);
}

} // namespace

TEST(StdioTransport, OnlyLineFeedsProduceNothing) {
    EchoHandler echo;
    EXPECT_EQ(serveAll("\n\n\n", echo.handler()), "");
    EXPECT_TRUE(echo.seen.empty());
}

TEST(StdioTransport, ServesEachLineInOrderAndTheLastOneWithoutLineFeed) {
    EchoHandler echo;
    EXPECT_EQ(serveAll("one\n\ntwo\r\nthree", echo.handler()), "reply:one\nreply:two\r\nreply:three\n");
    EXPECT_EQ(echo.seen, (std::vector<std::string>{"one", "two\r", "three"}));
}

TEST(StdioTransport, WritesNothingForALineWithoutReply) {
    auto handler = [](std::string line) -> Task<std::optional<std::string>> {
        if (line == "quiet") co_return std::nullopt;
        co_return line;
    };
    EXPECT_EQ(serveAll("quiet\nloud\n", handler), "loud\n");
}

TEST(StdioTransport, TakesTheNextLineOnlyAfterTheReplyWasWritten) {
    Streams streams;
    std::vector<std::string> events;
    auto handler = [&](std::string line) -> Task<std::optional<std::string>> {
        events.push_back("start " + line + " after [" + written(streams.output) + "]");
        co_await sleepFor(milliseconds(20));
        events.push_back("end " + line);
        co_return "r" + line;
    };
    GInputStream* in = memoryInput("1\n2\n");
    {
        ReplyWriter writer(streams.output);
        runTask(StdioTransport::serve(in, writer, handler));
    }
    g_object_unref(in);
    EXPECT_EQ(events, (std::vector<std::string>{"start 1 after []", "end 1", "start 2 after [r1\n]", "end 2"}));
}

TEST(StdioTransport, AnswersALineBeforeMoreInputArrives) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    GInputStream* in = g_unix_input_stream_new(fds[0], TRUE);
    Streams streams;
    EchoHandler echo;
    ReplyWriter writer(streams.output);
    auto serving = StdioTransport::serve(in, writer, echo.handler());

    ASSERT_EQ(write(fds[1], "first\n", 6), 6);
    // The writer of the input keeps it open: the reply must come all the same.
    ASSERT_TRUE(spinUntil([&] { return written(streams.output) == "reply:first\n"; }));
    EXPECT_FALSE(serving.isDone());

    ASSERT_EQ(write(fds[1], "second", 6), 6);
    close(fds[1]);
    runTask(serving);
    EXPECT_EQ(written(streams.output), "reply:first\nreply:second\n");
    g_object_unref(in);
}

TEST(StdioTransport, StopsWhenTheReaderOfTheRepliesIsGone) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    GInputStream* in = memoryInput("a\nb\nc\n");
    EchoHandler echo;
    {
        ReplyWriter writer(fds[1]);
        // Ends normally instead of failing or being killed by SIGPIPE.
        runTask(StdioTransport::serve(in, writer, echo.handler()));
    }
    EXPECT_EQ(echo.seen, std::vector<std::string>{"a"});
    g_object_unref(in);
    close(fds[1]);
}

TEST(StdioTransport, WritesAReplyOfMegabytesWhole) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    GInputStream* readEnd = g_unix_input_stream_new(fds[0], TRUE);
    std::string big(5 * 1024 * 1024, 'y');

    // Reads the other end while the reply is written, as an agent would.
    std::string received;
    auto readAll = [&]() -> Task<void> {
        std::vector<char> chunk(65536);
        for (;;) {
            auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
                g_input_stream_read_async(readEnd, chunk.data(), chunk.size(), G_PRIORITY_DEFAULT, nullptr, callback, data);
            });
            gssize count = g_input_stream_read_finish(readEnd, result.get(), nullptr);
            if (count <= 0) co_return;
            received.append(chunk.data(), static_cast<std::size_t>(count));
        }
    };
    auto reader = readAll();
    {
        // Far more than a pipe holds: the write must wait for the reader
        // without holding up the main loop the reader runs on.
        ReplyWriter writer(fds[1]);
        EXPECT_TRUE(runTask(writer.write(big)));
    }
    // The agent shares the descriptor's flags: they stay as they were.
    EXPECT_EQ(fcntl(fds[1], F_GETFL) & O_NONBLOCK, 0);
    close(fds[1]); // the reader sees the end
    runTask(reader);
    EXPECT_EQ(received.size(), big.size() + 1);
    EXPECT_EQ(received.back(), '\n');
    EXPECT_EQ(received.substr(0, big.size()), big);
    g_object_unref(readEnd);
}

TEST(StdioTransport, AReadErrorEndsTheLoopWithoutServingThePartialLine) {
    // Reading a folder fails.
    int folder = open(g_get_tmp_dir(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    GInputStream* in = g_unix_input_stream_new(folder, TRUE);
    Streams streams;
    EchoHandler echo;
    ReplyWriter writer(streams.output);
    EXPECT_THROW(runTask(StdioTransport::serve(in, writer, echo.handler())), TransportError);
    EXPECT_TRUE(echo.seen.empty());
    g_object_unref(in);
}

TEST(StdioTransport, TellsPipesAndSocketsFromOtherInput) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_TRUE(StdioTransport::isPipeOrSocket(fds[0]));
    close(fds[0]);
    close(fds[1]);
    EXPECT_FALSE(StdioTransport::isPipeOrSocket(fds[0])); // closed: no status

    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_TRUE(StdioTransport::isPipeOrSocket(pair[0]));
    close(pair[0]);
    close(pair[1]);

    gchar* path = nullptr;
    int file = g_file_open_tmp("vesk-stdin-XXXXXX", &path, nullptr);
    ASSERT_GE(file, 0);
    EXPECT_FALSE(StdioTransport::isPipeOrSocket(file));
    close(file);
    g_unlink(path);
    g_free(path);
}

TEST(StdioTransport, ReservedOutputKeepsStrayWritesOutOfTheReplies) {
    int replies[2], diverted[2];
    ASSERT_EQ(pipe(replies), 0);
    ASSERT_EQ(pipe(diverted), 0);
    // replies[1] plays standard output, diverted[1] standard error.
    int reserved = StdioTransport::reserveOutput(replies[1], diverted[1]);
    ASSERT_GE(reserved, 0);
    ASSERT_EQ(write(replies[1], "stray", 5), 5);
    ASSERT_EQ(write(reserved, "reply\n", 6), 6);
    close(reserved);
    close(replies[1]);
    close(diverted[1]);

    char buffer[32] = {};
    EXPECT_EQ(read(replies[0], buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), "reply\n");
    EXPECT_EQ(read(diverted[0], buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "stray");
    close(replies[0]);
    close(diverted[0]);
}

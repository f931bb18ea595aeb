#include "BrowserMCP/StdioTransport.h"

#include "BrowserMCP/LineSplitter.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserMCP/TransportError.h"
#include "Platform/Async.h"

#include <gio/gunixinputstream.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace vesk {

namespace {

constexpr std::size_t readSize = 64 * 1024;

// The descriptor the replies go to; standard output unless reserveOutput moved it.
int& replyDescriptor() {
    static int fd = STDOUT_FILENO;
    return fd;
}

} // namespace

bool StdioTransport::stdinIsPipe() { return isPipeOrSocket(STDIN_FILENO); }

bool StdioTransport::isPipeOrSocket(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0) return false;
    return S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
}

int StdioTransport::reserveOutput(int fd, int divertTo) {
    int reserved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (reserved < 0) return -1;
    if (dup2(divertTo, fd) < 0) {
        close(reserved);
        return -1;
    }
    if (fd == STDOUT_FILENO) {
        replyDescriptor() = reserved;
        // GLib's own messages must never land among the replies. GLib takes
        // this only before any thread exists: the program reserves its
        // output first thing.
        g_log_writer_default_set_use_stderr(TRUE);
    }
    return reserved;
}

Task<void> StdioTransport::run(MCPServer& server) {
    std::unique_ptr<GInputStream, void (*)(gpointer)> input(g_unix_input_stream_new(STDIN_FILENO, FALSE), g_object_unref);
    ReplyWriter writer(replyDescriptor());
    co_await serve(input.get(), writer, [&server](std::string line) -> Task<std::optional<std::string>> {
        auto reply = co_await server.handle(std::move(line));
        // A request frees most of what it used (page texts, scans, images):
        // once the loop is idle, the free pages go back to the system
        // rather than piling up in the allocator's arenas.
        g_idle_add_full(G_PRIORITY_LOW, [](gpointer) -> gboolean {
            malloc_trim(0);
            return G_SOURCE_REMOVE;
        }, nullptr, nullptr);
        co_return reply;
    });
}

Task<void> StdioTransport::serve(GInputStream* input, ReplyWriter& writer, LineHandler handle) {
    LineSplitter lines;
    std::vector<char> chunk(readSize);
    for (;;) {
        while (auto line = lines.nextLine()) {
            auto reply = co_await handle(std::move(*line));
            // No co_await in a short-circuit operand: GCC 12 may destroy
            // temporaries of the operand that did not run.
            if (!reply) continue;
            if (!co_await writer.write(std::move(*reply))) co_return;
        }
        auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
            g_input_stream_read_async(input, chunk.data(), chunk.size(), G_PRIORITY_DEFAULT, nullptr, callback, data);
        });
        GError* error = nullptr;
        gssize count = g_input_stream_read_finish(input, result.get(), &error);
        if (count < 0) {
            std::string message = error->message;
            g_error_free(error);
            throw TransportError("Reading the input failed: " + message);
        }
        if (count == 0) break;
        lines.append(std::string_view(chunk.data(), static_cast<std::size_t>(count)));
    }
    if (auto last = lines.finish()) {
        auto reply = co_await handle(std::move(*last));
        if (reply) co_await writer.write(std::move(*reply));
    }
}

} // namespace vesk

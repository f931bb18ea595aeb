#include "BrowserMCP/ReplyWriter.h"

#include "BrowserMCP/TransportError.h"
#include "Platform/Async.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace vesk {

namespace {

// One reply on its way to a descriptor, written by a worker thread.
struct PendingWrite {
    int fd;
    std::string bytes;
    int error = 0;
};

// Blocking writes until the whole reply is out. The descriptor's open file
// description is shared with the agent and any process that inherited it,
// so its flags are left alone: should someone else have made it
// non-blocking, the thread waits for room instead of failing.
void writeWhole(GTask* task, gpointer, gpointer data, GCancellable*) {
    auto* pending = static_cast<PendingWrite*>(data);
    std::size_t done = 0;
    while (done < pending->bytes.size()) {
        ssize_t count = ::write(pending->fd, pending->bytes.data() + done, pending->bytes.size() - done);
        if (count >= 0) {
            done += static_cast<std::size_t>(count);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd room{pending->fd, POLLOUT, 0};
            poll(&room, 1, -1);
        } else if (errno != EINTR) {
            pending->error = errno;
            break;
        }
    }
    g_task_return_boolean(task, TRUE);
}

} // namespace

ReplyWriter::ReplyWriter(GOutputStream* stream) : stream_(G_OUTPUT_STREAM(g_object_ref(stream))) {
    ignoreBrokenPipe();
}

ReplyWriter::ReplyWriter(int fd) : fd_(fd) { ignoreBrokenPipe(); }

ReplyWriter::~ReplyWriter() {
    if (stream_) g_object_unref(stream_);
}

void ReplyWriter::ignoreBrokenPipe() {
    // The default action of SIGPIPE kills the process at the first reply
    // after the agent went away; ignored, the write fails with EPIPE instead.
    static const bool ignoresBrokenPipe = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    static_cast<void>(ignoresBrokenPipe);
}

Task<bool> ReplyWriter::write(std::string reply) {
    reply.push_back('\n');
    if (!stream_) co_return co_await writeToDescriptor(std::move(reply));
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        g_output_stream_write_all_async(stream_, reply.data(), reply.size(), G_PRIORITY_DEFAULT, nullptr, callback, data);
    });
    GError* error = nullptr;
    if (g_output_stream_write_all_finish(stream_, result.get(), nullptr, &error)) co_return true;
    bool gone = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_BROKEN_PIPE);
    std::string message = error->message;
    g_error_free(error);
    if (gone) co_return false;
    throw TransportError("Writing a reply failed: " + message);
}

Task<bool> ReplyWriter::writeToDescriptor(std::string line) {
    // The worker thread writes while the main loop goes on, so a reply the
    // agent is slow to take holds up nothing else.
    auto* pending = new PendingWrite{fd_, std::move(line)};
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        GTask* task = g_task_new(nullptr, nullptr, callback, data);
        g_task_set_task_data(task, pending, [](gpointer data) { delete static_cast<PendingWrite*>(data); });
        g_task_run_in_thread(task, writeWhole);
        g_object_unref(task);
    });
    int error = pending->error;
    if (error == 0) co_return true;
    if (error == EPIPE) co_return false;
    throw TransportError(std::string("Writing a reply failed: ") + std::strerror(error));
}

} // namespace vesk

#include "BrowserMCP/ReplyWriter.h"

#include "BrowserMCP/TransportError.h"
#include "Platform/Async.h"

#include <gio/gunixoutputstream.h>

#include <fcntl.h>

#include <csignal>

namespace vesk {

namespace {

GOutputStream* nonBlockingStream(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    return g_unix_output_stream_new(fd, FALSE);
}

} // namespace

ReplyWriter::ReplyWriter(GOutputStream* stream) : stream_(G_OUTPUT_STREAM(g_object_ref(stream))) {
    // The default action of SIGPIPE kills the process at the first reply
    // after the agent went away; ignored, the write fails with EPIPE instead.
    static const bool ignoresBrokenPipe = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    static_cast<void>(ignoresBrokenPipe);
}

ReplyWriter::ReplyWriter(int fd) : ReplyWriter(nonBlockingStream(fd)) {
    // The stream was made here; the delegated constructor took a reference of its own.
    g_object_unref(stream_);
}

ReplyWriter::~ReplyWriter() { g_object_unref(stream_); }

Task<bool> ReplyWriter::write(std::string reply) {
    reply.push_back('\n');
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

} // namespace vesk

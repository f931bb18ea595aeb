#pragma once

// The agent's line on standard input and output: JSON-RPC messages, one per
// line, served one at a time. The next line is taken only after the reply to
// the previous one has been written.

#include "BrowserMCP/ReplyWriter.h"
#include "Platform/Task.h"

#include <gio/gio.h>

#include <functional>
#include <optional>
#include <string>

namespace vesk {

class MCPServer;

class StdioTransport {
public:
    StdioTransport() = delete;

    // Gives the reply to one line, or none when the line gets no reply.
    using LineHandler = std::function<Task<std::optional<std::string>>(std::string line)>;

    // Whether standard input is a pipe or a socket: the sign that an agent
    // started this process to talk to it. False when its status cannot be read.
    static bool stdinIsPipe();
    static bool isPipeOrSocket(int fd);

    // Serves standard input with `server` until the input ends or the
    // agent stops reading the replies. Throws TransportError when reading
    // fails; a partly read line is then dropped.
    static Task<void> run(MCPServer& server);

    // The loop itself, over any streams: reads `input`, hands each non-empty
    // line to `handle` and writes its reply before reading on. At the end of
    // the input an unterminated last line is served too.
    static Task<void> serve(GInputStream* input, ReplyWriter& writer, LineHandler handle);

    // Keeps standard output for the replies alone: moves the stream on `fd`
    // to a new descriptor, which the replies then use, and points `fd` at
    // `divertTo`, so that whatever this process or the processes it starts
    // print there cannot break a reply line. Returns the new descriptor,
    // or -1 (and changes nothing) when it cannot be done.
    static int reserveOutput(int fd = 1, int divertTo = 2);
};

} // namespace vesk

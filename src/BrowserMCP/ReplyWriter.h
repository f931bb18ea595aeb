#pragma once

// Writes replies to the agent, one line each.

#include "Platform/Task.h"

#include <gio/gio.h>

#include <string>

namespace vesk {

class ReplyWriter {
public:
    // Keeps a reference to `stream`. Also makes writing to a pipe whose
    // reader is gone an error instead of a signal that ends the process.
    explicit ReplyWriter(GOutputStream* stream);
    // Writes to a descriptor, which stays open and whose flags are not
    // changed; the main loop goes on while a long reply waits for the reader
    // to take it.
    explicit ReplyWriter(int fd);
    ~ReplyWriter();
    ReplyWriter(const ReplyWriter&) = delete;
    ReplyWriter& operator=(const ReplyWriter&) = delete;

    // Writes the reply followed by one line feed, whole, however long it is;
    // nothing else is added and nothing is kept back. Gives false when the
    // reader has gone away (a broken pipe), which ends the conversation;
    // throws TransportError for any other failure.
    Task<bool> write(std::string reply);

private:
    static void ignoreBrokenPipe();
    Task<bool> writeToDescriptor(std::string line);

    GOutputStream* stream_ = nullptr;
    int fd_ = -1;
};

} // namespace vesk

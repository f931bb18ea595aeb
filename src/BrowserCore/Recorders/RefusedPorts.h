#pragma once

// The ports WebKit keeps from the web, as they belong to other services
// (mail, shells, file sharing, chat and the like): it opens no http or https
// address on them, and drops a link of the page's that leads there without
// a word, so the session must know them itself.

namespace vesk {

bool isRefusedPort(int port);

} // namespace vesk

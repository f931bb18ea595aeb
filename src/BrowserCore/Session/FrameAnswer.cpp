#include "BrowserCore/Session/FrameAnswer.h"

#include <glib.h>

#include <utility>

namespace vesk {

void FrameAnswer::deliver(Answer answer) {
    answer_ = std::move(answer);
    wake();
}

void FrameAnswer::expire() {
    expired_ = true;
    wake();
}

void FrameAnswer::wake() {
    // The scan resumes on the main loop's next turn, never inside the code
    // that delivers, so a request or timer finishes its own turn first.
    auto handle = std::exchange(waiter_, nullptr);
    if (!handle) return;
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            std::coroutine_handle<>::from_address(data).resume();
            return G_SOURCE_REMOVE;
        },
        handle.address(), nullptr);
}

} // namespace vesk

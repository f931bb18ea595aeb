#pragma once

// Awaitables on the GLib main loop: a sleep, GIO-style asynchronous calls,
// one-shot promises for values that arrive by signal, and a race of two tasks.

#include "Platform/Clock.h"
#include "Platform/Task.h"

#include <gio/gio.h>

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace vesk {

namespace detail {

struct TimerAwaiter {
    Duration duration;

    bool await_ready() const noexcept { return duration <= Duration::zero(); }
    void await_suspend(std::coroutine_handle<> handle) const {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
        g_timeout_add_full(
            G_PRIORITY_DEFAULT, static_cast<guint>(ms),
            [](gpointer data) -> gboolean {
                std::coroutine_handle<>::from_address(data).resume();
                return G_SOURCE_REMOVE;
            },
            handle.address(), nullptr);
    }
    void await_resume() const noexcept {}
};

} // namespace detail

// Sleeps on the monotonic clock. Throws CancellationError when the task is
// cancelled before or during the sleep (noticed when the sleep ends).
inline Task<void> sleepFor(Duration duration) {
    checkCancellation();
    co_await detail::TimerAwaiter{duration};
    checkCancellation();
}

// Hands the main loop a turn: resumes on the next idle iteration.
struct Yield {
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const {
        g_idle_add_full(
            G_PRIORITY_DEFAULT_IDLE,
            [](gpointer data) -> gboolean {
                std::coroutine_handle<>::from_address(data).resume();
                return G_SOURCE_REMOVE;
            },
            handle.address(), nullptr);
    }
    void await_resume() const noexcept {}
};

// The result of a GIO-style call: the source object and the GAsyncResult to
// hand to the matching _finish function. Both are owned here.
class AsyncResult {
public:
    AsyncResult() = default;
    AsyncResult(GObject* source, GAsyncResult* result)
        : source_(source ? G_OBJECT(g_object_ref(source)) : nullptr), result_(G_ASYNC_RESULT(g_object_ref(result))) {}
    AsyncResult(AsyncResult&& other) noexcept
        : source_(std::exchange(other.source_, nullptr)), result_(std::exchange(other.result_, nullptr)) {}
    AsyncResult& operator=(AsyncResult&& other) noexcept {
        std::swap(source_, other.source_);
        std::swap(result_, other.result_);
        return *this;
    }
    AsyncResult(const AsyncResult&) = delete;
    AsyncResult& operator=(const AsyncResult&) = delete;
    ~AsyncResult() {
        if (source_) g_object_unref(source_);
        if (result_) g_object_unref(result_);
    }

    GObject* source() const { return source_; }
    GAsyncResult* get() const { return result_; }

private:
    GObject* source_ = nullptr;
    GAsyncResult* result_ = nullptr;
};

// Awaits one GAsyncReadyCallback call. `start` receives the callback and its
// user data and begins the call:
//     auto r = co_await gAsync([&](GAsyncReadyCallback cb, gpointer data) {
//         webkit_web_view_get_snapshot(view, ..., nullptr, cb, data);
//     });
//     GdkTexture* t = webkit_web_view_get_snapshot_finish(view, r.get(), &error);
// GIO never calls the callback before the starting call returns, and a task's
// frame lives until it finishes, so the awaiter stays valid for the callback.
template <typename Start>
struct GAsyncAwaiter {
    Start start;
    std::coroutine_handle<> handle;
    AsyncResult result;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> h) {
        handle = h;
        start(&GAsyncAwaiter::done, this);
    }
    AsyncResult await_resume() { return std::move(result); }

    static void done(GObject* source, GAsyncResult* res, gpointer data) {
        auto* self = static_cast<GAsyncAwaiter*>(data);
        self->result = AsyncResult(source, res);
        self->handle.resume();
    }
};

template <typename Start>
GAsyncAwaiter<Start> gAsync(Start start) {
    return GAsyncAwaiter<Start>{std::move(start), {}, {}};
}

// A value that arrives once, by signal or callback. Waiters resume on the
// main loop's next turn, never inside the code that resolves.
template <typename T>
class OneShot {
    struct State {
        std::optional<T> value;
        std::exception_ptr error;
        std::vector<std::coroutine_handle<>> waiters;
        bool settled() const { return value.has_value() || error != nullptr; }
    };

public:
    OneShot() : state_(std::make_shared<State>()) {}

    bool isSettled() const { return state_->settled(); }

    // The first settlement wins; later ones are ignored. Returns whether this one took.
    bool resolve(T value) {
        if (state_->settled()) return false;
        state_->value.emplace(std::move(value));
        wake();
        return true;
    }
    bool reject(std::exception_ptr error) {
        if (state_->settled()) return false;
        state_->error = std::move(error);
        wake();
        return true;
    }

    struct Awaiter {
        std::shared_ptr<State> state;
        bool await_ready() const noexcept { return state->settled(); }
        void await_suspend(std::coroutine_handle<> handle) const { state->waiters.push_back(handle); }
        T await_resume() const {
            if (state->error) std::rethrow_exception(state->error);
            return *state->value;
        }
    };
    Awaiter wait() const { return Awaiter{state_}; }

private:
    void wake() {
        for (auto handle : std::exchange(state_->waiters, {})) {
            g_idle_add_full(
                G_PRIORITY_DEFAULT,
                [](gpointer data) -> gboolean {
                    std::coroutine_handle<>::from_address(data).resume();
                    return G_SOURCE_REMOVE;
                },
                handle.address(), nullptr);
        }
    }

    std::shared_ptr<State> state_;
};

namespace detail {

template <typename T>
using RaceValue = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

template <typename T>
struct RaceOutcome {
    int winner = 0;
    std::optional<RaceValue<T>> value;
    std::exception_ptr error;
};

// Watches one racer to its end. `keep` holds the callables that started the
// racers: a coroutine lambda's captures live in the lambda object, which must
// outlive its task even after the race is decided.
template <typename T>
Task<void> watchRacer(OneShot<std::shared_ptr<RaceOutcome<T>>> finish, int index, Task<T> racer,
                      [[maybe_unused]] std::shared_ptr<void> keep) {
    auto outcome = std::make_shared<RaceOutcome<T>>();
    outcome->winner = index;
    try {
        if constexpr (std::is_void_v<T>) {
            co_await racer;
            outcome->value.emplace();
        } else {
            outcome->value.emplace(co_await racer);
        }
    } catch (...) {
        outcome->error = std::current_exception();
    }
    finish.resolve(std::move(outcome));
}

} // namespace detail

// Runs two tasks at once; the first to finish gives the race its value or its
// error. The loser is cancelled and not awaited: it may run on and finish
// later, and what it finishes with is dropped. `first` and `second` are
// callables that start the tasks; each gets a token of its own.
template <typename StartFirst, typename StartSecond, typename TaskType = std::invoke_result_t<StartFirst&>>
TaskType race(StartFirst startFirst, StartSecond startSecond) {
    using T = decltype(std::declval<TaskType&>().result());
    OneShot<std::shared_ptr<detail::RaceOutcome<T>>> finish;

    auto starters = std::make_shared<std::pair<StartFirst, StartSecond>>(std::move(startFirst), std::move(startSecond));
    TaskType first = spawn(starters->first);
    TaskType second = spawn(starters->second);
    static_cast<void>(detach([&] { return detail::watchRacer<T>(finish, 0, first, starters); }));
    static_cast<void>(detach([&] { return detail::watchRacer<T>(finish, 1, second, starters); }));

    auto outcome = co_await finish.wait();
    first.cancel();
    second.cancel();
    if (outcome->error) std::rethrow_exception(outcome->error);
    if constexpr (!std::is_void_v<T>) {
        co_return std::move(*outcome->value);
    }
}

} // namespace vesk

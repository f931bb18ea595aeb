#pragma once

// Coroutine tasks on the GLib main loop.
//
// A Task starts at once, like an unstructured task: calling a coroutine runs
// its body until the first suspension. It can be awaited, or left to run; a
// task's frame frees itself when the body finishes, so nothing dangles when
// nobody awaits it.
//
// Cancellation is a flag on a token. A coroutine inherits the token of the
// coroutine that called it, so awaited children share their parent's flag;
// `spawn` gives the new task a token of its own (a child of the current one,
// so cancelling the parent still reaches it). Code notices cancellation only
// where it asks: `isCancelled()`, `checkCancellation()` and the sleeps.

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace vesk {

struct CancellationError : std::exception {
    const char* what() const noexcept override { return "The task was cancelled."; }
};

class CancelToken {
public:
    explicit CancelToken(std::shared_ptr<CancelToken> parent = nullptr) : parent_(std::move(parent)) {}
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_ || (parent_ && parent_->isCancelled()); }

private:
    bool cancelled_ = false;
    std::shared_ptr<CancelToken> parent_;
};
using CancelTokenPtr = std::shared_ptr<CancelToken>;

namespace detail {

// The token of the coroutine that runs now; null outside every task.
inline CancelTokenPtr& currentToken() {
    static CancelTokenPtr token;
    return token;
}

struct PromiseBase {
    CancelTokenPtr token = currentToken() ? currentToken() : std::make_shared<CancelToken>();
    CancelTokenPtr outer;

    // An activation is one stretch of running between suspensions: it makes
    // this task's token current and gives back the previous one when it ends.
    void activate() {
        outer = currentToken();
        currentToken() = token;
    }
    void deactivate() { currentToken() = std::exchange(outer, nullptr); }
};

// Wraps every awaitable inside a task so that the token follows the coroutine
// across its suspensions.
template <typename Awaitable>
struct TokenKeeper {
    Awaitable inner;
    PromiseBase* promise;
    bool suspended = false;

    bool await_ready() { return inner.await_ready(); }

    template <typename Handle>
    auto await_suspend(Handle handle) {
        suspended = true;
        promise->deactivate();
        return inner.await_suspend(handle);
    }

    decltype(auto) await_resume() {
        if (suspended) {
            promise->activate();
        }
        return inner.await_resume();
    }
};

template <typename T>
struct TaskState {
    std::variant<std::monostate, std::conditional_t<std::is_void_v<T>, std::monostate, T>, std::exception_ptr> result;
    bool done = false;
    std::coroutine_handle<> continuation;
    CancelTokenPtr token;
};

} // namespace detail

template <typename T = void>
class [[nodiscard]] Task;

namespace detail {

// Where a task's body hands over its outcome: `co_return value;` for a value,
// a bare `co_return;` for none.
template <typename T>
struct ResultSlot : PromiseBase {
    std::shared_ptr<TaskState<T>> state = std::make_shared<TaskState<T>>();

    template <typename U>
    void return_value(U&& value) {
        state->result.template emplace<1>(std::forward<U>(value));
    }
};

template <>
struct ResultSlot<void> : PromiseBase {
    std::shared_ptr<TaskState<void>> state = std::make_shared<TaskState<void>>();

    void return_void() { state->result.template emplace<1>(); }
};

template <typename T, typename Derived>
struct TaskPromise : ResultSlot<T> {
    Task<T> get_return_object();

    struct Start {
        PromiseBase* promise;
        bool await_ready() const noexcept { return true; }
        void await_suspend(std::coroutine_handle<>) const noexcept {}
        void await_resume() const noexcept { promise->activate(); }
    };
    Start initial_suspend() noexcept { return Start{this}; }

    struct Finish {
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<Derived> handle) const noexcept {
            auto state = handle.promise().state;
            handle.promise().deactivate();
            state->done = true;
            auto continuation = std::exchange(state->continuation, nullptr);
            handle.destroy();
            if (continuation) {
                continuation.resume();
            }
        }
        void await_resume() const noexcept {}
    };
    Finish final_suspend() noexcept { return {}; }

    void unhandled_exception() { this->state->result.template emplace<2>(std::current_exception()); }

    template <typename Awaitable>
    auto await_transform(Awaitable&& awaitable) {
        return TokenKeeper<Awaitable>{std::forward<Awaitable>(awaitable), this};
    }
};

} // namespace detail

template <typename T>
class [[nodiscard]] Task {
public:
    struct promise_type : detail::TaskPromise<T, promise_type> {};

    Task() = default;
    explicit Task(std::shared_ptr<detail::TaskState<T>> state) : state_(std::move(state)) {}

    bool isValid() const { return state_ != nullptr; }
    bool isDone() const { return state_ && state_->done; }
    // Sets the flag of this task's token; the task notices it where it looks.
    void cancel() const {
        if (state_) {
            state_->token->cancel();
        }
    }
    const CancelTokenPtr& token() const { return state_->token; }

    // The outcome of a finished task: its value, or its error rethrown.
    T result() {
        if (auto* error = std::get_if<2>(&state_->result)) {
            std::rethrow_exception(*error);
        }
        if constexpr (!std::is_void_v<T>) {
            return std::move(std::get<1>(state_->result));
        }
    }

    bool await_ready() const noexcept { return state_->done; }
    void await_suspend(std::coroutine_handle<> handle) const noexcept { state_->continuation = handle; }
    T await_resume() { return result(); }

private:
    std::shared_ptr<detail::TaskState<T>> state_;
};

template <typename T, typename Derived>
Task<T> detail::TaskPromise<T, Derived>::get_return_object() {
    this->state->token = this->token;
    return Task<T>(this->state);
}

// Whether the task that runs now has been cancelled.
inline bool isCancelled() {
    auto& token = detail::currentToken();
    return token && token->isCancelled();
}

inline void checkCancellation() {
    if (isCancelled()) {
        throw CancellationError();
    }
}

// Starts a task with a token of its own, a child of the current one: it can
// be cancelled alone, and cancelling the current task reaches it too.
template <typename Start>
auto spawn(Start&& start) {
    auto saved = detail::currentToken();
    detail::currentToken() = std::make_shared<CancelToken>(saved);
    auto task = std::forward<Start>(start)();
    detail::currentToken() = std::move(saved);
    return task;
}

// Starts a task that no other task's cancellation reaches.
template <typename Start>
auto detach(Start&& start) {
    auto saved = std::exchange(detail::currentToken(), std::make_shared<CancelToken>());
    auto task = std::forward<Start>(start)();
    detail::currentToken() = std::move(saved);
    return task;
}

} // namespace vesk

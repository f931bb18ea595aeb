#pragma once

#include <sigc++/sigc++.h>

#include <utility>

namespace vesk {

// A tracked field. A write of an equal value is stored silently; a different
// value is stored and then announced on `changed`. Fields whose every write
// must be announced use `announce` or `modify`.
template <typename T>
class Observable {
public:
    Observable() = default;
    explicit Observable(T value) : value_(std::move(value)) {}

    const T& get() const { return value_; }
    const T& operator*() const { return value_; }
    const T* operator->() const { return &value_; }

    // Returns whether the value changed (and so whether observers were told).
    bool set(T value) {
        if (value_ == value) {
            return false;
        }
        value_ = std::move(value);
        changed_.emit();
        return true;
    }

    void announce(T value) {
        value_ = std::move(value);
        changed_.emit();
    }

    // Changes the value in place with one announcement for the whole change.
    template <typename Change>
    void modify(Change&& change) {
        std::forward<Change>(change)(value_);
        changed_.emit();
    }

    sigc::signal<void()>& changed() { return changed_; }

private:
    T value_{};
    sigc::signal<void()> changed_;
};

} // namespace vesk

#pragma once

#include <glib-object.h>

#include <utility>

namespace vesk {

// Owns one reference to a GObject. Comparison is by identity.
template <typename T>
class GRef {
public:
    GRef() = default;
    // Takes over a reference the caller owns (a "transfer full" return).
    static GRef adopt(T* object) {
        GRef ref;
        ref.object_ = object;
        return ref;
    }
    // Adds a reference of its own (a "transfer none" return).
    static GRef retain(T* object) {
        GRef ref;
        ref.object_ = object ? static_cast<T*>(g_object_ref(object)) : nullptr;
        return ref;
    }
    GRef(const GRef& other) : object_(other.object_ ? static_cast<T*>(g_object_ref(other.object_)) : nullptr) {}
    GRef(GRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GRef& operator=(GRef other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~GRef() {
        if (object_) g_object_unref(object_);
    }

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const GRef& other) const { return object_ == other.object_; }
    bool operator==(const T* other) const { return object_ == other; }

private:
    T* object_ = nullptr;
};

} // namespace vesk

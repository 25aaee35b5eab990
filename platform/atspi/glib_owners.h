// Move-only owners for what libatspi hands out: GObject references, GErrors and strings to g_free.
#pragma once

#include <string>
#include <utility>

#include <glib-object.h>
#include <glib.h>

namespace hovermark::atspi {

template <typename T>
class GObjectRef {
  public:
    GObjectRef() = default;
    // Takes over a reference the caller owns; nullptr is allowed.
    explicit GObjectRef(T* owned) : object_(owned) {}
    GObjectRef(GObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectRef& operator=(GObjectRef&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
    ~GObjectRef() { Reset(); }

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    void Reset() {
        if (object_ != nullptr) {
            g_object_unref(object_);
            object_ = nullptr;
        }
    }
    T* object_ = nullptr;
};

class GErrorOwner {
  public:
    GErrorOwner() = default;
    GErrorOwner(const GErrorOwner&) = delete;
    GErrorOwner& operator=(const GErrorOwner&) = delete;
    ~GErrorOwner() {
        if (error_ != nullptr) {
            g_error_free(error_);
        }
    }
    GError** out() { return &error_; }
    bool failed() const { return error_ != nullptr; }

  private:
    GError* error_ = nullptr;
};

// Takes a string that must be g_free'd; nullptr gives an empty string.
inline std::string TakeString(gchar* owned) {
    std::string text = owned == nullptr ? std::string() : std::string(owned);
    g_free(owned);
    return text;
}

}  // namespace hovermark::atspi

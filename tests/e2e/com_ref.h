// Owners for the COM references, strings, variants and apartment the look-inside helpers use
// (accessible_fixture*.cpp, read_elements.cpp). Header only: each helper stays one self-contained program.
#pragma once

#include <windows.h>

#include <utility>

#include <oleauto.h>

namespace e2e {

// One counted reference to a COM object: released exactly once.
template <typename T>
class ComRef {
  public:
    ComRef() = default;
    // Adopts a reference the caller already holds.
    explicit ComRef(T* object) : object_(object) {}
    ComRef(const ComRef& other) : object_(other.object_) {
        if (object_ != nullptr) {
            object_->AddRef();
        }
    }
    ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ComRef() { reset(); }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void reset() {
        if (object_ != nullptr) {
            std::exchange(object_, nullptr)->Release();
        }
    }
    // For an out parameter that hands over a reference.
    T** put() {
        reset();
        return &object_;
    }
    template <typename U>
    ComRef<U> As(REFIID iid) const {
        ComRef<U> result;
        if (object_ != nullptr && FAILED(object_->QueryInterface(iid, reinterpret_cast<void**>(result.put())))) {
            result.reset();
        }
        return result;
    }

  private:
    T* object_ = nullptr;
};

class Bstr {
  public:
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text_); }
    BSTR get() const { return text_; }
    BSTR* put() {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }

  private:
    BSTR text_ = nullptr;
};

class Variant {
  public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    const VARIANT& get() const { return value_; }
    VARIANT* put() {
        VariantClear(&value_);
        return &value_;
    }

  private:
    VARIANT value_;
};

// The calling thread in a single-threaded apartment for as long as this lives.
class ComApartment {
  public:
    ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    bool initialised() const { return initialised_; }

  private:
    bool initialised_;
};

}  // namespace e2e

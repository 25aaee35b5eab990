// Owners for what COM hands out: interface pointers, strings and variants. Each is move-only and gives its
// resource back exactly once. An interface pointer taken from another program must be released on a thread of
// the apartment it was taken in, so whoever drops one of these decides where it dies.
#pragma once

#include <windows.h>

#include <utility>

#include <oleauto.h>

namespace hovermark::iaccessible {

template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    // Takes over a reference the caller already holds.
    explicit ComPtr(Interface* pointer) : pointer_(pointer) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.pointer_, nullptr));
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    // A second owner of the same object: a reference of its own, taken locally.
    ComPtr Share() const {
        if (pointer_ != nullptr) {
            pointer_->AddRef();
        }
        return ComPtr(pointer_);
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    Interface& operator*() const { return *pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For the out-parameter of a call; whatever was held is released first.
    Interface** put() {
        reset();
        return &pointer_;
    }
    void reset(Interface* pointer = nullptr) {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
        pointer_ = pointer;
    }

  private:
    Interface* pointer_ = nullptr;
};

class UniqueBstr {
  public:
    UniqueBstr() = default;
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { SysFreeString(text_); }

    BSTR get() const { return text_; }
    BSTR* put() {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }

  private:
    BSTR text_ = nullptr;
};

class UniqueVariant {
  public:
    UniqueVariant() { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { VariantClear(&value_); }

    const VARIANT& get() const { return value_; }
    VARIANT* put() {
        VariantClear(&value_);
        return &value_;
    }

  private:
    VARIANT value_;
};

// The calling thread in the process's multithreaded apartment, for as long as this lives.
class MultithreadedApartment {
  public:
    MultithreadedApartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    MultithreadedApartment(const MultithreadedApartment&) = delete;
    MultithreadedApartment& operator=(const MultithreadedApartment&) = delete;
    ~MultithreadedApartment() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    bool Joined() const { return SUCCEEDED(result_); }

  private:
    HRESULT result_;
};

}  // namespace hovermark::iaccessible

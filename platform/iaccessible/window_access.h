// What the element system needs to know of a window besides its elements: whose it is, whether it still
// exists or hangs, and its client object. The program asks user32 and oleacc; the tests script the answers.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include "platform/iaccessible/com_owners.h"

namespace hovermark::iaccessible {

class WindowAccess {
  public:
    WindowAccess() = default;
    WindowAccess(const WindowAccess&) = delete;
    WindowAccess& operator=(const WindowAccess&) = delete;
    virtual ~WindowAccess() = default;

    // The process the window belongs to; 0 when it has gone.
    virtual DWORD ProcessOf(HWND window) = 0;
    virtual bool Exists(HWND window) = 0;
    // Whether the system already takes the window's thread for hung. Asked on a worker.
    virtual bool IsHung(HWND window) = 0;
    // The window's client object (a call into its application). Asked on a worker.
    virtual HRESULT ClientObject(HWND window, ComPtr<IAccessible>& client) = 0;
};

class User32WindowAccess final : public WindowAccess {
  public:
    DWORD ProcessOf(HWND window) override;
    bool Exists(HWND window) override;
    bool IsHung(HWND window) override;
    HRESULT ClientObject(HWND window, ComPtr<IAccessible>& client) override;
};

}  // namespace hovermark::iaccessible

// What the element system needs to know of a window besides its elements: whose it is, whether it still
// exists or hangs, its client object, and for checking a locator the top-level windows with their texts.
// The program asks user32 and oleacc; the tests script the answers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

    // Asked on a worker, and never of the window's application.
    //
    // Every top-level window, in the system's order.
    virtual std::vector<HWND> TopLevelWindows() = 0;
    virtual bool IsVisible(HWND window) = 0;
    // The top-level window that `window` lies in: itself for a top-level one; null when it has gone.
    virtual HWND TopLevelOf(HWND window) = 0;
    // The window's text as the system holds it, read without a message.
    virtual std::string HeldText(HWND window) = 0;
};

class User32WindowAccess final : public WindowAccess {
  public:
    DWORD ProcessOf(HWND window) override;
    bool Exists(HWND window) override;
    bool IsHung(HWND window) override;
    HRESULT ClientObject(HWND window, ComPtr<IAccessible>& client) override;
    std::vector<HWND> TopLevelWindows() override;
    bool IsVisible(HWND window) override;
    HWND TopLevelOf(HWND window) override;
    std::string HeldText(HWND window) override;
};

}  // namespace hovermark::iaccessible

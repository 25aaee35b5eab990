// Clipboard access with the brief retries another program holding it open calls for.
#include "platform/windows/clipboard.h"

#include <cstring>

#include "platform/windows/unique_handles.h"

namespace hovermark::windows {
namespace {

constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryDelayMs = 10;

struct GlobalMemoryTraits {
    static void Close(HGLOBAL memory) { GlobalFree(memory); }
};
using UniqueGlobalMemory = UniqueHandle<HGLOBAL, GlobalMemoryTraits>;

class OpenClipboardScope {
  public:
    explicit OpenClipboardScope(HWND owner) {
        for (int attempt = 0; attempt < kOpenAttempts && !open_; ++attempt) {
            if (attempt > 0) {
                Sleep(kOpenRetryDelayMs);
            }
            open_ = OpenClipboard(owner) != FALSE;
        }
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    ~OpenClipboardScope() {
        if (open_) {
            CloseClipboard();
        }
    }
    bool IsOpen() const { return open_; }

  private:
    bool open_ = false;
};

}  // namespace

void EmptyClipboardFor(HWND owner) {
    const OpenClipboardScope clipboard(owner);
    if (clipboard.IsOpen()) {
        EmptyClipboard();
    }
}

void PutClipboardText(HWND owner, std::wstring_view text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) {
        return;
    }
    void* destination = GlobalLock(memory.get());
    if (destination == nullptr) {
        return;
    }
    std::memcpy(destination, text.data(), text.size() * sizeof(wchar_t));
    static_cast<wchar_t*>(destination)[text.size()] = L'\0';
    GlobalUnlock(memory.get());

    const OpenClipboardScope clipboard(owner);
    if (!clipboard.IsOpen() || EmptyClipboard() == FALSE) {
        return;
    }
    // From here on the clipboard owns the memory.
    if (SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr) {
        memory.release();
    }
}

}  // namespace hovermark::windows

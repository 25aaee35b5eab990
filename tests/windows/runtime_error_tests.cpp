// An error no handler catches ends the program after a message box that names it. The program runs as a
// child process (a death test), in which a second thread plays the user: it reads the box and closes it with
// its OK button. Only when the box says what it must and the program then ends with exit code 1 does the test
// pass; a wrong text or no box at all ends the child with other codes.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "main_window/main_window_layout.h"
#include "main_window/toolkit/runtime_error.h"
#include "platform/windows/text_conversion.h"
#include "platform/windows/win32_toolkit.h"

namespace hovermark::windows {
namespace {

constexpr wchar_t kMessageBoxClass[] = L"#32770";
constexpr wchar_t kErrorBoxTitle[] = L"Hovermark";
constexpr auto kPatience = std::chrono::seconds(30);
constexpr int kExitCodeAfterError = 1;
constexpr UINT kExitCodeWrongText = 3;
constexpr UINT kExitCodeNoBox = 4;

// The first timer tick raises an overflow, as a handler's arithmetic would.
class FailingOnTick final : public FormEvents {
  public:
    explicit FailingOnTick(Toolkit& toolkit) : FormEvents(toolkit) {}

  protected:
    void OnControlEvent(ControlIndex /*control*/) override { throw RuntimeError::Overflow(); }
};

BOOL CALLBACK CollectText(HWND child, LPARAM texts) {
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    *reinterpret_cast<std::string*>(texts) += WideToUtf8(text) + "\n";
    return TRUE;
}

// The user: waits for the error box of this process, reads it, and presses OK if it names the error.
void ReadAndCloseTheErrorBox() {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        const HWND box = FindWindowW(kMessageBoxClass, kErrorBoxTitle);
        DWORD process = 0;
        if (box != nullptr && GetWindowThreadProcessId(box, &process) != 0 && process == GetCurrentProcessId()) {
            std::string texts;
            EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&texts));
            if (texts.find("Run-time error '6':") == std::string::npos || texts.find("Overflow") == std::string::npos) {
                ExitProcess(kExitCodeWrongText);
            }
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
        }
        Sleep(50);
    }
    ExitProcess(kExitCodeNoBox);
}

[[noreturn]] void RunUntilTheFirstTick() {
    std::thread(ReadAndCloseTheErrorBox).detach();
    Win32Toolkit toolkit(GetModuleHandleW(nullptr));
    FailingOnTick events(toolkit);
    std::unique_ptr<FormPeer> form = toolkit.CreateForm(kMainWindowDesign, events);
    form->SetVisible(true);
    toolkit.RunEventLoop();
    std::exit(0);  // not reached: the error ends the program first
}

TEST(RuntimeErrorDeathTest, AnUncaughtErrorIsReportedInAMessageBoxAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunUntilTheFirstTick(), ::testing::ExitedWithCode(kExitCodeAfterError), "");
}

}  // namespace
}  // namespace hovermark::windows

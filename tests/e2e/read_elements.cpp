// An independent reading of the elements inside a window, for the look-inside end-to-end run: it walks the
// window's IAccessible objects by the rule below, sharing no code with Hovermark, and writes the element rows
// Hovermark must show above the window rows.
//
// hovermark_read_elements.exe HWND X Y OUTFILE [--timeout=SECONDS] [--recheck-after-ms=MS]
//   HWND in decimal (as the report shows it), X Y in screen pixels. OUTFILE gets one UTF-8 row per element,
//   "role<TAB><TAB>name<CR><LF>", the deepest first; it is empty when nothing lies deeper than the window's
//   client object. Exit 0 when written, 1 when the window has no client object, 2 for bad arguments, 3 when
//   the file cannot be written, 4 when the walk took longer than the timeout (30 s unless given).
//   --recheck-after-ms: once the file is written, prints "written", waits MS and asks each row's element for
//   its name again, printing "accName 0x<HRESULT>" per row (to see an element go while it is held).
//
// The rule: the window's own element is its client object (AccessibleObjectFromWindow, OBJID_CLIENT), never
// listed. From it, accHitTest at the point, level by level: VT_DISPATCH is followed unless it is an object
// already reached (COM identity); a child id other than CHILDID_SELF is a simple child of the object last
// reached and ends the walk; anything else ends it; at most 256 levels. The rows are the deepest element, then
// its parents by accParent (a simple child's first parent is its container) up to the client object, which is
// not listed. Role: GetRoleTextW of accRole, or accRole's string; name: accName. Both as UTF-8 cut at 64 KiB
// (never inside a character), NULs as spaces, spaces trimmed.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include <oleacc.h>

#include "tests/e2e/com_ref.h"

namespace {

using e2e::ComApartment;

using e2e::Bstr;
using e2e::ComRef;
using e2e::Variant;

const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr int kMaxLevels = 256;
constexpr std::size_t kMaxTextBytes = std::size_t{64} * 1024;

struct FileCloser {
    void operator()(HANDLE file) const {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
};
using UniqueFile = std::unique_ptr<std::remove_pointer_t<HANDLE>, FileCloser>;

constexpr int kWritten = 0;
constexpr int kNoClientObject = 1;
constexpr int kBadArguments = 2;
constexpr int kCannotWrite = 3;
constexpr int kTimedOut = 4;

struct Element {
    ComRef<IAccessible> object;
    LONG child_id = CHILDID_SELF;
};

// The same object reached twice is one COM identity: the IUnknown pointers compare equal while both are held.
class Identities {
  public:
    bool Add(const ComRef<IAccessible>& object) {
        ComRef<IUnknown> identity = object.As<IUnknown>(IID_IUnknown);
        if (!identity) {
            return false;
        }
        for (const ComRef<IUnknown>& held : held_) {
            if (held.get() == identity.get()) {
                return false;
            }
        }
        held_.push_back(identity);
        return true;
    }

  private:
    std::vector<ComRef<IUnknown>> held_;
};

VARIANT ChildVariant(LONG child_id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = child_id;
    return child;
}

// Valid UTF-8 of at most kMaxTextBytes, ended before a character that would not fit whole; then cleaned.
std::string Clean(const wchar_t* text, std::size_t length) {
    std::string utf8;
    if (length > 0) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        utf8.resize(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    }
    if (utf8.size() > kMaxTextBytes) {
        std::size_t end = kMaxTextBytes;
        // Back to the first byte of the character that crosses the limit (continuation bytes are 10xxxxxx).
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
            --end;
        }
        utf8.resize(end);
    }
    for (char& c : utf8) {
        if (c == '\0') {
            c = ' ';
        }
    }
    const auto first = utf8.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return utf8.substr(first, utf8.find_last_not_of(' ') - first + 1);
}

std::string Clean(const Bstr& text) {
    return text.get() == nullptr ? std::string() : Clean(text.get(), SysStringLen(text.get()));
}

std::string RoleOf(const Element& element) {
    Variant role;
    if (FAILED(element.object->get_accRole(ChildVariant(element.child_id), role.put()))) {
        return {};
    }
    if (role.get().vt == VT_BSTR) {
        return role.get().bstrVal == nullptr ? std::string()
                                             : Clean(role.get().bstrVal, SysStringLen(role.get().bstrVal));
    }
    if (role.get().vt != VT_I4) {
        return {};
    }
    const auto code = static_cast<DWORD>(role.get().lVal);
    const UINT length = GetRoleTextW(code, nullptr, 0);
    std::wstring text(length + 1, L'\0');
    const UINT written = GetRoleTextW(code, text.data(), length + 1);
    return Clean(text.data(), written);
}

std::string NameOf(const Element& element) {
    Bstr name;
    if (FAILED(element.object->get_accName(ChildVariant(element.child_id), name.put()))) {
        return {};
    }
    return Clean(name);
}

ComRef<IAccessible> ParentOf(const ComRef<IAccessible>& object) {
    ComRef<IDispatch> parent;
    if (object->get_accParent(parent.put()) != S_OK || !parent) {
        return {};
    }
    return parent.As<IAccessible>(kIidAccessible);
}

// The element rows for the point, deepest first; empty when nothing lies deeper than the client object.
std::vector<Element> ElementsAt(const ComRef<IAccessible>& client, LONG x, LONG y) {
    Identities reached;
    reached.Add(client);
    Element deepest{client, CHILDID_SELF};
    bool descended = false;
    for (int level = 0; level < kMaxLevels; ++level) {
        Variant hit;
        if (deepest.object->accHitTest(x, y, hit.put()) != S_OK) {
            break;
        }
        const VARIANT& found = hit.get();
        if (found.vt == VT_I4) {
            if (found.lVal != CHILDID_SELF) {
                deepest.child_id = found.lVal;
                descended = true;
            }
            break;
        }
        if (found.vt != VT_DISPATCH || found.pdispVal == nullptr) {
            break;
        }
        found.pdispVal->AddRef();
        ComRef<IAccessible> next = ComRef<IDispatch>(found.pdispVal).As<IAccessible>(kIidAccessible);
        if (!next || !reached.Add(next)) {
            break;
        }
        deepest.object = next;
        descended = true;
    }

    std::vector<Element> rows;
    if (!descended) {
        return rows;
    }
    Identities listed;
    listed.Add(client);
    rows.push_back(deepest);
    ComRef<IAccessible> next = deepest.child_id != CHILDID_SELF ? deepest.object : ParentOf(deepest.object);
    if (deepest.child_id == CHILDID_SELF) {
        listed.Add(deepest.object);
    }
    for (int level = 0; level < kMaxLevels && next && listed.Add(next); ++level) {
        rows.push_back({next, CHILDID_SELF});
        next = ParentOf(next);
    }
    return rows;
}

bool WriteAtomically(const std::wstring& path, const std::string& content) {
    const std::wstring temporary = path + L".tmp";
    bool whole = false;
    {
        const UniqueFile file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            return false;
        }
        DWORD written = 0;
        whole = WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                written == content.size();
    }
    return whole && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool ParseLong(const wchar_t* text, long long* value) {
    wchar_t* end = nullptr;
    *value = std::wcstoll(text, &end, 10);
    return end != text && *end == L'\0';
}

struct Options {
    HWND window = nullptr;
    LONG x = 0;
    LONG y = 0;
    std::wstring out_path;
    long long timeout_seconds = 30;
    long long recheck_after_ms = -1;
};

int Read(const Options& options) {
    const ComApartment apartment;
    if (!apartment.initialised()) {
        std::fputs("CoInitialize failed\n", stderr);
        return kNoClientObject;
    }
    ComRef<IAccessible> client;
    const HRESULT found = AccessibleObjectFromWindow(options.window, OBJID_CLIENT, kIidAccessible,
                                                     reinterpret_cast<void**>(client.put()));
    if (FAILED(found) || !client) {
        std::fprintf(stderr, "AccessibleObjectFromWindow failed: 0x%08lX\n", static_cast<unsigned long>(found));
        return kNoClientObject;
    }
    const std::vector<Element> elements = ElementsAt(client, options.x, options.y);
    std::string content;
    for (const Element& element : elements) {
        content += RoleOf(element) + "\t\t" + NameOf(element) + "\r\n";
    }
    if (!WriteAtomically(options.out_path, content)) {
        std::fputs("cannot write the output file\n", stderr);
        return kCannotWrite;
    }
    if (options.recheck_after_ms >= 0) {
        // The elements found, asked again later through the references still held: what another program's
        // removal of an element looks like from here.
        std::puts("written");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(options.recheck_after_ms));
        for (const Element& element : elements) {
            Bstr name;
            const HRESULT asked = element.object->get_accName(ChildVariant(element.child_id), name.put());
            std::printf("accName 0x%08lX\n", static_cast<unsigned long>(asked));
        }
        std::fflush(stdout);
    }
    return kWritten;
}

bool ParseOption(const wchar_t* argument, const wchar_t* prefix, long long* value) {
    const std::size_t length = std::wcslen(prefix);
    return std::wcsncmp(argument, prefix, length) == 0 && ParseLong(argument + length, value) && *value >= 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    long long handle = 0;
    long long x = 0;
    long long y = 0;
    bool valid = argc >= 5 && ParseLong(argv[1], &handle) && ParseLong(argv[2], &x) && ParseLong(argv[3], &y);
    for (int index = 5; valid && index < argc; ++index) {
        valid = ParseOption(argv[index], L"--timeout=", &options.timeout_seconds) ||
                ParseOption(argv[index], L"--recheck-after-ms=", &options.recheck_after_ms);
    }
    if (!valid || options.timeout_seconds == 0) {
        std::fputs("usage: hovermark_read_elements.exe HWND X Y OUTFILE [--timeout=SECONDS] [--recheck-after-ms=MS]\n",
                   stderr);
        return kBadArguments;
    }
    // A window whose program does not answer makes every call wait: the whole run is bounded here.
    std::thread([timeout = options.timeout_seconds] {
        Sleep(static_cast<DWORD>(timeout) * 1000);
        std::fputs("timed out\n", stderr);
        std::fflush(stderr);
        ExitProcess(kTimedOut);
    }).detach();
    // Handles are 32-bit values, sign-extended in a 64-bit process.
    options.window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
    options.x = static_cast<LONG>(x);
    options.y = static_cast<LONG>(y);
    options.out_path = argv[4];
    return Read(options);
}

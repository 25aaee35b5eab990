// What hovermark.exe carries besides its code: the version record, the manifest and the icon. Read from the
// built program beside this test program, as Explorer and the system loader read them.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::wstring ProgramBesideThisOne() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"hovermark.exe";
}

std::wstring VersionString(const std::vector<char>& record, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040704B0\\") + name;
    if (VerQueryValueW(record.data(), query.c_str(), &value, &length) == 0 || length == 0) {
        return L"(missing)";
    }
    return std::wstring(static_cast<const wchar_t*>(value));
}

class LoadedAsData {
  public:
    explicit LoadedAsData(const std::wstring& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    LoadedAsData(const LoadedAsData&) = delete;
    LoadedAsData& operator=(const LoadedAsData&) = delete;
    ~LoadedAsData() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    HMODULE get() const { return module_; }

    std::string Text(const wchar_t* type, const wchar_t* name) const {
        const HRSRC found = FindResourceW(module_, name, type);
        if (found == nullptr) {
            return {};
        }
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module_, found)));
        return std::string(bytes, SizeofResource(module_, found));
    }

  private:
    HMODULE module_;
};

TEST(ResourcesTest, TheVersionRecordGivesVersion101InOneGermanBlock) {
    const std::wstring program = ProgramBesideThisOne();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0U) << "no version record in hovermark.exe";
    std::vector<char> record(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, record.data()));

    void* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &translation, &length));
    ASSERT_EQ(length, 4U);
    EXPECT_EQ(static_cast<const WORD*>(translation)[0], 0x0407);
    EXPECT_EQ(static_cast<const WORD*>(translation)[1], 1200);
    EXPECT_EQ(VersionString(record, L"FileVersion"), L"1.01");
    EXPECT_EQ(VersionString(record, L"ProductVersion"), L"1.01");
}

TEST(ResourcesTest, TheManifestAsksForCommonControls6PerMonitorDpiAndNoElevation) {
    const LoadedAsData program(ProgramBesideThisOne());
    ASSERT_NE(program.get(), nullptr);
    const std::string manifest = program.Text(RT_MANIFEST, MAKEINTRESOURCEW(1));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2<"), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

TEST(ResourcesTest, TheIconComesIn16And32Pixels) {
    const LoadedAsData program(ProgramBesideThisOne());
    ASSERT_NE(program.get(), nullptr);
    for (const int size : {16, 32}) {
        const auto icon = static_cast<HICON>(LoadImageW(program.get(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

}  // namespace

// What Windows shows of the built programs without running them: the version resource
// (Properties > Details), the icon (Explorer) and the manifest (visual styles, the Windows
// versions the program knows, DPI awareness).
#include "version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct program {
    const char *path; // the build's file, as a Windows path
    const wchar_t *file_name;
    const wchar_t *description;
};

const program programs[] = {
    {BREVORA_PLAYER_EXE, L"brevora.exe", L"Brevora internet radio player"},
    {BREVORA_EDITOR_EXE, L"brevora-editor.exe", L"Brevora station editor"},
};

std::wstring wide(const char *text) {
    return std::wstring(text, text + std::strlen(text));
}

std::wstring string_value(std::vector<char> &info, const wchar_t *name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0)
        return L"(missing)";
    return static_cast<const wchar_t *>(value);
}

std::string resource_text(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return "";
    const char *bytes = static_cast<const char *>(LockResource(LoadResource(module, found)));
    return std::string(bytes, SizeofResource(module, found));
}

TEST(ProgramResources, BothProgramsCarryVersionIconAndManifest) {
    const WORD numbers[] = {BREVORA_VERSION_NUMBERS};
    for (const program &each : programs) {
        SCOPED_TRACE(each.path);
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(each.path, &ignored);
        ASSERT_GT(size, 0u) << GetLastError();
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoA(each.path, 0, size, info.data()));

        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(numbers[1], numbers[0]));
        EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(numbers[3], numbers[2]));
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwFileType, DWORD{VFT_APP});

        EXPECT_EQ(string_value(info, L"FileVersion"), wide(BREVORA_VERSION_TEXT));
        EXPECT_EQ(string_value(info, L"ProductVersion"), wide(BREVORA_VERSION_TEXT));
        EXPECT_EQ(string_value(info, L"ProductName"), L"Brevora");
        EXPECT_EQ(string_value(info, L"OriginalFilename"), each.file_name);
        EXPECT_EQ(string_value(info, L"FileDescription"), each.description);
        EXPECT_EQ(string_value(info, L"LegalCopyright").rfind(L"Copyright (C) ", 0), 0u);

        HMODULE module = LoadLibraryExA(each.path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
        EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(103), MAKEINTRESOURCEW(14)), nullptr)
            << "no icon group 103";
        std::string manifest = resource_text(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        for (const char *needed :
             {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
              "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
              "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>", ">true/pm</dpiAware>",
              ">PerMonitorV2, PerMonitor</dpiAwareness>", "version=\"" BREVORA_VERSION_TEXT ".0\""})
            EXPECT_NE(manifest.find(needed), std::string::npos) << needed << "\n" << manifest;
        FreeLibrary(module);
    }
}

} // namespace

// Reads back what Windows shows of the two shipped programs under Properties → Details, and
// their manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char *const PROGRAMS[] = {ELEMTRIX_EXE, ELEMTRIX_CALC_EXE};
const char STRINGS[] = "\\StringFileInfo\\041D04E4\\"; // Swedish, Windows-1252
constexpr WORD SWEDISH = 1053;
constexpr WORD WINDOWS_1252 = 1252;

// Windows' published identifiers, Vista to 10/11.
const char *const SUPPORTED_OS[] = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};

// The build gives a POSIX path; Wine shows the root file system as drive Z.
std::string windows_path(const char *posix) {
    std::string path = std::string("Z:") + posix;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::vector<char> version_info(const std::string &path) {
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    if (block.empty() ||
        !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        block.clear();
    return block;
}

std::string string_value(std::vector<char> &block, const char *name) {
    char *text = nullptr;
    UINT length = 0;
    const std::string key = std::string(STRINGS) + name;
    if (!VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void **>(&text), &length))
        return "(missing)";
    return text;
}

TEST(VersionResource, CarriesTheProjectVersionInSwedish) {
    unsigned parts[4] = {0, 0, 0, 0};
    std::sscanf(ELEMTRIX_VERSION, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
    for (const char *program : PROGRAMS) {
        SCOPED_TRACE(program);
        std::vector<char> block = version_info(windows_path(program));
        ASSERT_FALSE(block.empty());

        EXPECT_EQ(string_value(block, "FileVersion"), ELEMTRIX_VERSION);
        EXPECT_EQ(string_value(block, "ProductVersion"), ELEMTRIX_VERSION);
        EXPECT_EQ(string_value(block, "ProductName"), "Elemtrix");

        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(parts[1], parts[0]));
        EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(parts[3], parts[2]));
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

        WORD *translation = nullptr;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                   reinterpret_cast<void **>(&translation), &length));
        ASSERT_EQ(length, 2 * sizeof(WORD));
        EXPECT_EQ(translation[0], SWEDISH);
        EXPECT_EQ(translation[1], WINDOWS_1252);
    }
}

TEST(VersionResource, DescriptionKeepsItsSwedishLetters) {
    // Read as UTF-16, so the check does not depend on the code page Wine runs in: a resource
    // compiled from the wrong encoding would show "Ã¤" here instead of "ä".
    for (const char *program : PROGRAMS) {
        SCOPED_TRACE(program);
        const std::string narrow = windows_path(program);
        wchar_t path[MAX_PATH];
        ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, path, MAX_PATH), 0);
        std::vector<wchar_t> block(GetFileVersionInfoSizeW(path, nullptr));
        ASSERT_FALSE(block.empty());
        ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size() * sizeof(wchar_t)),
                                        block.data()));
        wchar_t *text = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041D04E4\\FileDescription",
                                   reinterpret_cast<void **>(&text), &length));
        const std::wstring description(text);
        EXPECT_EQ(description.rfind(L"Elemtrix", 0), 0u);
        EXPECT_NE(description.find(L"ber\u00e4knar TS-parametrar"), std::wstring::npos);
    }
}

// The manifest as it is stored: the loader's own report of the supported systems differs in
// layout between Windows versions, so the identifiers are looked for in the text.
std::string manifest_text(const std::string &path) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))
                         : nullptr; // the manifest a process starts with, RT_MANIFEST
    std::string text;
    if (found)
        text.assign(static_cast<const char *>(LockResource(LoadResource(module, found))),
                    SizeofResource(module, found));
    if (module)
        FreeLibrary(module);
    return text;
}

int count(const std::string &text, const char *part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(Manifest, DeclaresVistaToElevenAndNothingThatChangesTheLook) {
    for (const char *program : PROGRAMS) {
        SCOPED_TRACE(program);
        const std::string path = windows_path(program);
        const std::string text = manifest_text(path);
        EXPECT_EQ(count(text, "<supportedOS "), int(std::size(SUPPORTED_OS)));
        for (const char *id : SUPPORTED_OS)
            EXPECT_EQ(count(text, id), 1) << id;
        EXPECT_EQ(count(text, "Common-Controls"), 0);
        EXPECT_EQ(count(text, "dpiAware"), 0); // also dpiAwareness

        // The loader takes it: a manifest it rejects stops the program from starting at all.
        ACTCTXA request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = MAKEINTRESOURCEA(1);
        HANDLE context = CreateActCtxA(&request);
        EXPECT_NE(context, INVALID_HANDLE_VALUE);
        if (context != INVALID_HANDLE_VALUE)
            ReleaseActCtx(context);
    }
}

} // namespace

// The resources of the two built programs, read back from their files: OrvelleScan.exe carries the
// window program's icon, version and supported systems, and both name their copyright holder.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "Sandbox.h"

namespace {

struct Program {
    std::string path;
    HMODULE module = nullptr;

    explicit Program(const char* buildPath) : path(e2e::HostPath(buildPath)) {
        module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~Program() {
        if (module) FreeLibrary(module);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    std::string Resource(LPCSTR type, LPCSTR name) const {
        HRSRC found = FindResourceA(module, name, type);
        if (!found) return std::string();
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }

    std::vector<BYTE> VersionBlock() const {
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
        std::vector<BYTE> block(size);
        if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data())) block.clear();
        return block;
    }
};

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (block.empty() || !VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ||
        !value)
        return L"(missing)";
    return value;
}

std::set<std::string> SupportedSystems(const std::string& manifest) {
    std::set<std::string> ids;
    const std::string tag = "<supportedOS Id=\"";
    for (size_t at = manifest.find(tag); at != std::string::npos; at = manifest.find(tag, at + 1)) {
        const size_t begin = at + tag.size();
        ids.insert(manifest.substr(begin, manifest.find('"', begin) - begin));
    }
    return ids;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST(ProgramResources, ScanCarriesTheWindowProgramsVersionAndBothTheCopyright) {
    Program window(ORVELLE_E2E_PROGRAM);
    Program scan(ORVELLE_E2E_SCAN);
    const std::vector<BYTE> windowBlock = window.VersionBlock();
    const std::vector<BYTE> scanBlock = scan.VersionBlock();
    ASSERT_FALSE(windowBlock.empty()) << window.path;
    ASSERT_FALSE(scanBlock.empty()) << scan.path;

    VS_FIXEDFILEINFO* windowFixed = nullptr;
    VS_FIXEDFILEINFO* scanFixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(windowBlock.data(), L"\\", reinterpret_cast<void**>(&windowFixed), &length));
    ASSERT_TRUE(VerQueryValueW(scanBlock.data(), L"\\", reinterpret_cast<void**>(&scanFixed), &length));
    EXPECT_EQ(windowFixed->dwFileVersionMS, scanFixed->dwFileVersionMS);
    EXPECT_EQ(windowFixed->dwFileVersionLS, scanFixed->dwFileVersionLS);
    EXPECT_EQ(windowFixed->dwProductVersionMS, scanFixed->dwProductVersionMS);
    EXPECT_EQ(windowFixed->dwProductVersionLS, scanFixed->dwProductVersionLS);
    EXPECT_EQ(VFT_APP, scanFixed->dwFileType);

    // The project's version, as the build states it, in both.
    const std::string version = ORVELLE_PROJECT_VERSION;
    EXPECT_EQ(version, Narrow(VersionString(windowBlock, L"FileVersion")));
    EXPECT_EQ(version, Narrow(VersionString(scanBlock, L"FileVersion")));
    EXPECT_EQ(version, Narrow(VersionString(scanBlock, L"ProductVersion")));
    for (const wchar_t* name : {L"CompanyName", L"ProductName", L"LegalCopyright"})
        EXPECT_EQ(VersionString(windowBlock, name), VersionString(scanBlock, name)) << Narrow(name);
    EXPECT_EQ(L"OrvelleScan.exe", VersionString(scanBlock, L"OriginalFilename"));
    // The licence's holder is the company the version resource names.
    EXPECT_EQ(L"Copyright (c) 2026 Voskar", VersionString(windowBlock, L"LegalCopyright"));
    EXPECT_EQ(L"Voskar", VersionString(windowBlock, L"CompanyName"));
}

TEST(ProgramResources, ScanManifestListsTheWindowProgramsSystemsAndAsksForNoElevation) {
    Program window(ORVELLE_E2E_PROGRAM);
    Program scan(ORVELLE_E2E_SCAN);
    ASSERT_TRUE(window.module) << window.path;
    ASSERT_TRUE(scan.module) << scan.path;
    const std::string windowManifest = window.Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));  // RT_MANIFEST
    const std::string manifest = scan.Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty()) << "OrvelleScan.exe has no manifest";

    const std::set<std::string> systems = SupportedSystems(manifest);
    EXPECT_EQ(5u, SupportedSystems(windowManifest).size()) << windowManifest;
    EXPECT_EQ(SupportedSystems(windowManifest), systems) << manifest;
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\"")) << manifest;
    EXPECT_NE(std::string::npos, manifest.find("version=\"" ORVELLE_PROJECT_VERSION "\"")) << manifest;
}

// Explorer shows a file's first icon group: the window program's, image for image.
TEST(ProgramResources, ScanShowsTheWindowProgramsIcon) {
    Program window(ORVELLE_E2E_PROGRAM);
    Program scan(ORVELLE_E2E_SCAN);
    ASSERT_TRUE(window.module) << window.path;
    ASSERT_TRUE(scan.module) << scan.path;

    std::vector<ULONG_PTR> groups;
    EnumResourceNamesA(
        scan.module, MAKEINTRESOURCEA(14),  // RT_GROUP_ICON
        [](HMODULE, LPCSTR, LPSTR name, LONG_PTR param) -> BOOL {
            reinterpret_cast<std::vector<ULONG_PTR>*>(param)->push_back(reinterpret_cast<ULONG_PTR>(name));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_FALSE(groups.empty()) << "OrvelleScan.exe has no icon";
    ASSERT_TRUE(IS_INTRESOURCE(groups.front()));
    LPCSTR first = MAKEINTRESOURCEA(groups.front());

    const std::string group = scan.Resource(MAKEINTRESOURCEA(14), first);
    ASSERT_EQ(window.Resource(MAKEINTRESOURCEA(14), first), group);
    // GRPICONDIR: reserved, type, count, then 14-byte entries whose last WORD is the image's id.
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_GT(count, 0);
    ASSERT_EQ(6u + 14u * count, group.size());
    for (WORD i = 0; i < count; ++i) {
        const WORD id = *reinterpret_cast<const WORD*>(group.data() + 6 + 14 * i + 12);
        const std::string image = scan.Resource(MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(id));  // RT_ICON
        EXPECT_FALSE(image.empty()) << "image " << id;
        EXPECT_EQ(window.Resource(MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(id)), image) << "image " << id;
    }
}

}  // namespace

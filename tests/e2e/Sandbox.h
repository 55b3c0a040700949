// A private folder for one test: a copy of the program (so that the settings
// file beside it is the test's own) and the trees of malformed names the test
// works on. Everything is made and removed through "\\?\" paths, which pass
// trailing dots and blanks and device names through untouched.
#pragma once

#include <string>

namespace e2e {

// A path of the build tree as the Windows side sees it: "/a/b" is "Z:\a\b"
// under Wine; "C:/a/b" becomes "C:\a\b".
std::string HostPath(const std::string& buildPath);

class Sandbox {
public:
    Sandbox() = default;
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // Makes a fresh folder under the temporary folder and copies `program`
    // into it under the name `programName`.
    bool Create(const std::string& program, const std::string& programName);

    const std::string& Folder() const { return m_folder; }  // no trailing backslash
    const std::string& Program() const { return m_program; }
    std::string SettingsFile() const;
    // Folder() + "\" + relative.
    std::string Path(const std::string& relative) const;

    bool MakeFolder(const std::string& relative) const;
    bool MakeFile(const std::string& relative, const std::string& content = "x") const;
    bool Exists(const std::string& relative) const;
    // The same with wide names, for names the ANSI code page lacks and paths
    // past MAX_PATH.
    std::wstring PathW(const std::wstring& relative) const;
    bool MakeFolderW(const std::wstring& relative) const;
    bool MakeFileW(const std::wstring& relative) const;
    bool ExistsW(const std::wstring& relative) const;

    // "Path" of section "AppInfo" in the settings file beside the program copy.
    bool WriteSavedPath(const std::string& path) const;
    // False when the file or the key is missing.
    bool ReadSavedPath(std::string& path) const;

private:
    std::string m_folder;
    std::string m_program;
};

}  // namespace e2e

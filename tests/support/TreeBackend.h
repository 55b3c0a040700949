// A folder tree that a test builds, hands to the engine and inspects again:
// on the simulated volume, or on real disk through the Win32 functions. The
// same scenarios run against both.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FileSystem.h"

class TreeBackend {
public:
    virtual ~TreeBackend() = default;
    virtual const char* Name() const = 0;
    virtual FileSystem& Fs() = 0;
    // Absolute path of the test's root folder, as a user would type it.
    virtual std::string Root() const = 0;
    // Entries are made with their names exactly as given (relative to Root).
    virtual void MakeFolder(const std::string& rel, uint32_t attributes = 0) = 0;
    virtual void MakeFile(const std::string& rel, uint32_t attributes = 0) = 0;
    // Holds the entry open without delete sharing until the backend goes away.
    virtual void HoldOpen(const std::string& rel) = 0;
    virtual bool Exists(const std::string& rel) const = 0;
    // Every entry below Root, relative, sorted.
    virtual std::vector<std::string> Tree() const = 0;
    // The 8.3 alias the file system gave the entry ("" when none).
    virtual std::string AliasOf(const std::string& rel) const = 0;
    // Whether the volume makes 8.3 aliases at all.
    virtual bool HasAliases() const = 0;
};

// "sim" (aliases on), "sim-noalias" (aliases off), and on Windows "disk".
std::vector<std::string> BackendKinds();
std::unique_ptr<TreeBackend> MakeBackend(const std::string& kind);

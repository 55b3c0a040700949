// FileSystem on the Win32 W functions, with names converted exactly.
#pragma once

#include "FileSystem.h"

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<Listing> FindFirst(const char* pattern, FindData& first, uint32_t& error) override;
    uint32_t GetAttributes(const char* path) override;
    bool SetAttributes(const char* path, uint32_t attributes) override;
    bool RemoveFile(const char* path, uint32_t& error) override;
    bool RemoveFolder(const char* path, uint32_t& error) override;
};

// The one instance the program uses.
FileSystem& TheFileSystem();

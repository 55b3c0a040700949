// FileSystem on the native handle calls of ntdll, with names converted exactly.
#pragma once

#include "FileSystem.h"

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<Node> OpenVolumeRoot(const WideName& root, uint32_t& error) override;
    std::unique_ptr<Node> OpenChild(Node& folder, const WideName& name, OpenFor mode, uint32_t& error) override;
    bool Query(Node& node, NodeInfo& info, uint32_t& error) override;
    bool ListFolder(Node& folder, std::vector<DirEntry>& entries, uint32_t& error) override;
    bool ListFolderWithAliases(Node& folder, std::vector<DirEntry>& entries, uint32_t& error) override;
    bool LookUp(Node& folder, const WideName& name, DirEntry& entry, uint32_t& error) override;
    bool SetAttributesOf(Node& node, uint32_t attributes, uint32_t& error) override;
    bool DeleteOpen(Node& node, uint32_t& error) override;
    bool RenameOpen(Node& node, Node& folder, const WideName& newName, uint32_t& error) override;
    bool ReadOpen(Node& node, void* buffer, uint32_t size, uint32_t& read, uint32_t& error) override;
    bool PathOnVolume(Node& node, WideName& path, uint32_t& error) override;
    bool LinkCount(Node& node, uint32_t& links, uint32_t& error) override;
    bool CurrentFolder(char16_t drive, WideName& path, uint32_t& error) override;
    bool PlainPathReaches(const WideName& folderPath, const WideName& name) override;
    bool ToAnsi(const WideName& name, std::string& ansi) override;
    bool ToWide(const std::string& ansi, WideName& name) override;
};

// The one instance the program uses.
FileSystem& TheFileSystem();

// The parent-folder form of a path as rows show it.
#pragma once

#include <string>
#include <string_view>

// The folder part of path with a trailing "\"; empty for a bare name.
std::string ParentFolderOf(std::string_view path);
std::u16string ParentFolderOf(std::u16string_view path);

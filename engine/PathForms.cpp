#include "PathForms.h"

#include <vector>

#include "PathText.h"

std::string ParentFolderOf(std::string_view path) {
    std::vector<std::string_view> parts = SplitPathComponents(path);
    if (!parts.empty() && !EndsWithChar(path, '\\')) parts.pop_back();
    // A share or a prefixed path keeps the "\\" it starts with.
    std::string result = path.size() >= 2 && path[0] == '\\' && path[1] == '\\' ? "\\\\" : "";
    for (std::string_view part : parts) {
        result += part;
        result += '\\';
    }
    return result;
}

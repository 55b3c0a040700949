#include "PathForms.h"

#include <vector>

#include "PathText.h"

std::u16string ParentFolderOf(std::u16string_view path) {
    // Every component but the last (unless the path ends in "\\"), each with its "\\".
    const size_t keep = path.empty() || path.back() == u'\\' ? path.size() : path.find_last_of(u'\\') + 1;
    std::u16string result = path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\' ? u"\\\\" : u"";
    size_t start = 0;
    while (start < keep) {
        const size_t end = path.find(u'\\', start);
        if (end > start) {
            result.append(path.substr(start, end - start));
            result += u'\\';
        }
        start = end + 1;
    }
    return result;
}

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

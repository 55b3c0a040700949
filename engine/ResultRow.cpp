#include "ResultRow.h"

#include <utility>

const char kTypeFolder[] = "文件夹";
const char kTypeFile[] = "文件";
const char kResultPending[] = "未操作";
const char kResultFailed[] = "失败";

ResultRow MakeResultRow(std::string longPath, const char* name, uint32_t attributes, const char* attributeText) {
    ResultRow row;
    row.path = std::move(longPath);
    row.bracketedName = std::string("[") + name + "]";
    row.type = (attributes & fs_attr::kDirectory) ? kTypeFolder : kTypeFile;
    row.attribute = attributeText;
    row.result = kResultPending;
    return row;
}

void AppendResultRow(RowSink& list, std::string longPath, const char* name, uint32_t attributes,
                     const char* attributeText) {
    list.AppendRow(MakeResultRow(std::move(longPath), name, attributes, attributeText));
}

void NoteWhyListed(FileSystem& fs, ResultRow& row, const EntryRef& folder, uint32_t attributes,
                   const ScanOptions& options) {
    row.listedFor = ListedReasons(row.wideName, attributes, options);
    row.plainPathWorks = fs.PlainPathReaches(WidePathOf(folder), row.wideName);
}

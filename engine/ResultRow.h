// A listed entry as a row of the result list.
#pragma once

#include <cstdint>
#include <string>

#include "Entry.h"
#include "FileSystem.h"
#include "Names.h"

extern const char kTypeFolder[];     // "文件夹"
extern const char kTypeFile[];       // "文件"
extern const char kResultPending[];  // "未操作"
extern const char kResultFailed[];   // "失败"

struct ResultRow {
    std::string path;           // column 0: long-name path, empty when it did not resolve
    std::string bracketedName;  // column 1: "[" + stored name + "]"
    std::string type;           // column 2: kTypeFolder or kTypeFile
    std::string attribute;      // column 3: "-", "R", "S" or "H"
    std::string result;         // column 4: kResultPending, later kResultFailed
    // What the entry is, so that it is deleted as itself whatever column 0 can
    // show; null for rows of a walk that had no top folder (shares, relative roots).
    EntryPtr entry;
    WideName wideName;  // the stored name, exactly
    // Why it is listed (ListedReason bits) and whether its plain path reaches
    // it on the system the search ran on; the fronts put them into words.
    uint32_t listedFor = 0;
    bool plainPathWorks = false;
};

// Where the rows go: the result list control in the program, a vector in tests.
// Rows are always appended at the end.
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual void AppendRow(const ResultRow& row) = 0;
    // Called by the walk between entries, so a sink that holds rows back can
    // hand them on while the walk goes through folders without any.
    virtual void Idle() {}
};

ResultRow MakeResultRow(std::string longPath, const char* name, uint32_t attributes, const char* attributeText);

// Fills listedFor and plainPathWorks of the row of an entry of folder (its
// wideName set): the rules that list it under options, and whether its plain
// path reaches it by the system's own path rules. No disk access.
void NoteWhyListed(FileSystem& fs, ResultRow& row, const EntryRef& folder, uint32_t attributes,
                   const ScanOptions& options);

// Appends the row of a listed entry whose long-name path is already known.
void AppendResultRow(RowSink& list, std::string longPath, const char* name, uint32_t attributes,
                     const char* attributeText);

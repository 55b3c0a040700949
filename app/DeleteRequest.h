// A delete request from the command line: one confirmation, the deletion of
// every collected path, one result message. No window exists at that point.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Message-box types and the answer used here; the values are those of the
// Win32 MB_ and ID constants, so a callback can pass them to MessageBoxW as they are.
inline constexpr unsigned kBoxYesNo = 0x04;
inline constexpr unsigned kBoxIconQuestion = 0x20;
inline constexpr unsigned kBoxIconExclamation = 0x30;
inline constexpr unsigned kBoxIconInformation = 0x40;
inline constexpr int kAnswerYes = 6;

// Shows a message box without an owner; returns the button chosen. The texts
// are the GBK ones below.
using MessageBoxFn = std::function<int(const std::string& text, const std::string& caption, unsigned type)>;
// Deletes one listed path (a file, or a folder with its contents), given in
// UTF-16 as the request named it; true when it is gone.
using DeletePathFn = std::function<bool(const std::u16string& path)>;

inline constexpr const char kDeleteRequestCaption[] = "Orvelle";
inline constexpr const char kConfirmDeleteText[] = "确认删除选中的文件夹？";
inline constexpr const char kDeleteAllDoneText[] = "删除成功！";
inline constexpr const char kDeletePartlyDoneText[] = "删除成功,但有部分未能删除！";
inline constexpr const char kDeleteFailedText[] = "删除失败！";

enum class DeleteOutcome {
    AllDeleted,     // every call succeeded
    PartlyDeleted,  // some succeeded, some failed
    NoneDeleted,    // none succeeded, or there was nothing to delete
};

struct ResultMessage {
    const char* text;
    unsigned type;
};

// Calls deletePath once for every path, in order, and sums up.
DeleteOutcome DeleteCollectedPaths(const std::vector<std::u16string>& paths, const DeletePathFn& deletePath);

// The one message shown after the deletions.
ResultMessage ResultMessageFor(DeleteOutcome outcome);

// Asks once, deletes every path when the answer is Yes and shows the result.
void RunDeleteRequest(const std::vector<std::u16string>& paths, const DeletePathFn& deletePath,
                      const MessageBoxFn& messageBox);

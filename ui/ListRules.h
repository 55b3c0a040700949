// What the result list's commands decide, apart from the window: the sort
// direction and order, the Windows version name, how a row's folder is opened,
// the report file's bytes and the statistics text. Text in, values out.
#pragma once

#include <string>
#include <vector>

#include "FileSystem.h"

// The column sorted last and its direction; one record for the whole process.
// The start values stand for column 0 sorted ascending.
struct ListSortState {
    int lastColumn = 0;
    bool lastDescending = false;
};

// The direction of a sort by column, remembered in state: the same column
// again reverses the last direction, another column starts ascending.
bool NextSortDescending(ListSortState& state, int column);

// A multibyte string comparison without regard to the case of single-byte
// letters: a double-byte character (isLeadByte tells its first byte) compares
// as one unit by its code value. Negative, zero or positive as strcmp.
int CompareSortKeys(const char* a, const char* b, bool (*isLeadByte)(unsigned char));

// The same comparison made once per text: comparing two keys byte by byte
// (std::string's order) gives the sign CompareSortKeys gives for the texts.
// A character becomes two bytes: 0 and a single-byte character (letters in
// lower case), or the lead and trail byte of a double-byte one.
std::string SortKeyOf(const char* text, bool (*isLeadByte)(unsigned char));

// The name of a Windows version from GetVersionExA's fields; build is the low
// 16 bits of dwBuildNumber.
const char* WindowsVersionName(unsigned long platformId, unsigned long major, unsigned long minor, unsigned long build);

// Cuts text (a NUL-terminated buffer read from the list) before a lead byte
// that has lost its trail byte to the buffer's end, so no half character is
// passed on.
void DropCutCharacter(char* text, bool (*isLeadByte)(unsigned char));

// How the folder of a listed entry is opened: through the shell (ShellExecuteA
// "open" of target) or by a command line for WinExec.
struct FolderOpening {
    bool throughShell = false;
    std::string text;  // the shell's target, or the command line
};

// type is the row's column 2; only "文件夹" makes a folder row. Folder rows
// open the path itself: with "\" appended (".\" after a final dot, which the
// shell would otherwise drop), or, where the version name contains "2008",
// as the device path. File rows open Explorer on the folder that holds them.
FolderOpening ChooseFolderOpening(FileSystem& fs, const std::string& path, const std::string& type,
                                  const std::string& versionName);

// The report file's bytes: the paths in list order, CR LF between two lines
// and none after the last. An empty path adds nothing while the text is still
// empty.
std::string BuildReportText(const std::vector<std::string>& paths);

// The statistics box: folder rows, file rows and their sum.
std::string BuildStatisticsText(int folders, int files);

// The texts the main window composes from numbers and other texts.
#pragma once

#include <cstdint>
#include <string>

// Product title + "[Ver" + version + "]" + " - " + notice.
std::string BuildWindowTitle(const std::string& productTitle, const std::string& version, const std::string& notice);

// The title while a search runs: the title at rest, "-", then the counts.
std::string BuildProgressTitle(const std::string& restTitle, int foldersSearched, int filesSearched);

// The box shown when a search ends; elapsedMs is the time it took. When
// some folders or entries could not be searched (unsearched > 0), a line
// saying how many follows the counts.
// A stopped search says so in place of "搜索完成"; the counts stay as they are.
enum class SearchEnd { Finished, Stopped };
std::string BuildSearchSummary(int foldersSearched, int filesSearched, int malformedFolders, int malformedFiles,
                               int unsearched, uint32_t elapsedMs, SearchEnd end = SearchEnd::Finished);

// The box shown instead of a summary when the root is not there exactly: this
// text, then the root as it was typed.
inline constexpr char kMissingRootText[] = "要搜索的目录不存在：\r\n";

// The question the Del key asks about one row (its path, or its name).
std::string BuildDeleteQuestion(const std::string& entry);
std::wstring BuildDeleteQuestion(const std::wstring& entry);

// The box after a row's entry was renamed: the name it has now.
std::wstring BuildRenamedText(const std::wstring& newName);

// The box shown after the checked rows were deleted; a deletion stopped
// before its last row says so in place of "删除完毕", and how many rows it
// left untried.
std::string BuildDeleteSummary(int deleted, int failed, bool stopped = false, int left = 0);

// The title while a deletion runs: the title at rest, "-", rows done of all.
std::string BuildDeletionTitle(const std::string& restTitle, int tried, int total);

// The list's last column: whether the row's plain path reaches its entry on
// this Windows, then why it is listed ("本机无法访问：设备名+扩展名").
// Empty when the search knew neither (listedFor 0).
std::string BuildWhyListedText(uint32_t listedFor, bool plainPathWorks);

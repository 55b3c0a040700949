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
std::string BuildSearchSummary(int foldersSearched, int filesSearched, int malformedFolders, int malformedFiles,
                               int unsearched, uint32_t elapsedMs);

// The box shown after the checked rows were deleted.
std::string BuildDeleteSummary(int deleted, int failed);

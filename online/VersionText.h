// The program's own version as a short dotted text: "1.3" for 1.3.0.0.
#pragma once

#include <cstdint>
#include <string>

// major.minor from the high double word; ".build.revision" follows only when
// either of them is not 0 (1.3.0.0 -> "1.3", 1.3.0.7 -> "1.3.0.7").
std::string FormatFileVersion(uint32_t fileVersionMS, uint32_t fileVersionLS);

#ifdef _WIN32
// The file version of the executable (or any module) at `path`; empty when it
// has no readable version resource.
std::string GetFileVersionText(const char* path);
#endif

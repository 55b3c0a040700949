// Which directory entries the search lists, and why.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The four check boxes of the main window, read when a search starts.
struct ScanOptions {
    uint8_t malformedNames = 0;  // 1005: trailing dot or blank, reserved device name
    uint8_t hidden = 0;          // 1002
    uint8_t readOnly = 0;        // 1003
    uint8_t system = 0;          // 1004
};

// Whether name matches glob ("*" any run, "?" one character), ASCII letters
// without regard to case.
bool MatchesGlob(std::u16string_view glob, std::u16string_view name);

// The four reasons a row can show; rows compare these by address.
extern const char kAttrTextName[];      // "-"
extern const char kAttrTextReadOnly[];  // "R"
extern const char kAttrTextSystem[];    // "S"
extern const char kAttrTextHidden[];    // "H"

// Whether a reserved device name of Windows is the stem of name: aux, con, nul,
// prn, com0-9 and lpt0-9 (and com/lpt with a superscript one to three where the
// code page has them), conin$ and conout$, alone or followed by a dot and
// anything else.
bool IsReservedDeviceName(const char* name);

// Decides whether an entry is listed. Unless the name is empty, "." or "..",
// attributeText is set: "-" first, then the attribute rule that lists it.
bool IsMalformedEntry(const char* name, uint32_t attributes, const ScanOptions& options, const char*& attributeText);

// The same tests on a name as the file system stores it. Beside the names
// above (superscript one to three in every code page here), a name holding a
// character Win32 refuses in names (< > : " | ? * and codes 1-31), as Linux
// and Mac systems write them to shared volumes, counts as malformed too.
bool IsReservedDeviceName(std::u16string_view name);
bool IsMalformedEntry(std::u16string_view name, uint32_t attributes, const ScanOptions& options,
                      const char*& attributeText);

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

// Whether a reserved device name of Windows is the stem of a name as the file
// system stores it: aux, con, nul, prn, com0-9 and lpt0-9 (and com/lpt with a
// superscript one to three), conin$ and conout$. Whether an entry is listed:
// unless the name is empty, "." or "..", attributeText is set, "-" first, then
// the attribute rule that lists it. Beside the device names, a name holding a
// character Win32 refuses in names (< > : " | ? * / \ and codes 1-31), as
// Linux and Mac systems write them to shared volumes, counts as malformed too.
// A device name is found the way Windows up to 10 finds it in a plain path:
// the name without its trailing dots and blanks, cut at the first "." or ":",
// without the blanks before that ("nul .txt", "AUX  .c", "CON:" and "nul:.txt"
// all name a device; "nulx .txt", "nu l.txt" and "con-.txt" do not).
bool IsReservedDeviceName(std::u16string_view name);
bool IsMalformedEntry(std::u16string_view name, uint32_t attributes, const ScanOptions& options,
                      const char*& attributeText);

// Why an entry is listed: every rule that lists it under the options, as bits.
enum ListedReason : uint32_t {
    kListedTrailingDot = 1u << 0,
    kListedTrailingBlank = 1u << 1,
    kListedDeviceName = 1u << 2,               // "nul", "COM1", "con " or "CON:" (a stream of the device)
    kListedDeviceNameWithExtension = 1u << 3,  // "con.txt", "nul .txt", "nul:.txt"
    kListedRefusedCharacter = 1u << 4,         // < > : " | ? * / \ or a code below 32
    kListedReadOnly = 1u << 5,
    kListedSystem = 1u << 6,
    kListedHidden = 1u << 7,
};

// The reasons IsMalformedEntry lists an entry for; 0 when it is not listed.
uint32_t ListedReasons(std::u16string_view name, uint32_t attributes, const ScanOptions& options);

// The length of the device word a name begins with when IsReservedDeviceName
// holds ("nul .txt": 3, "COM1": 4), else 0.
size_t DeviceWordLength(std::u16string_view name);

// The eight texts the program keeps scrambled. Each is decoded when it is
// needed; nothing keeps a decoded copy beyond the member or local receiving it.
#pragma once

#include <string>

enum class StoredText {
    UpdateUrlPrefix = 1,  // the update check's address; the own version follows it
    FeedUrlPrefix,        // the announcement feed's address; the own version follows it
    ProgramId,            // m_strAppId: names the hand-over block and the Explorer verbs
    SupportUrl,           // the technical-support page
    NoticeText,           // the vendor's web-site address as shown in the title and status line
    ClearResultsCaption,  // caption of the clear-results confirmation
    SettingsFileName,     // the settings file beside the executable
    ProductTitle,         // head of the window title
};

// The scrambled bytes of a stored text, as the program holds them.
const char* StoredTextBytes(StoredText which);

// UnscrambleText of the stored text with the program's key triple.
std::string DecodeStoredText(StoredText which);

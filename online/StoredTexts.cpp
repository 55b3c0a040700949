#include "StoredTexts.h"

#include "Scramble.h"
#include "StoredTextValues.h"

namespace {

// constexpr forces the scrambling to happen in the compiler; the plain literals
// are not emitted.
#define ORVELLE_STORE(name, plain, salt) \
    constexpr auto name = ScrambleText(plain, kStoredTextKey, kStoredTextMultiplier, kStoredTextIncrement, salt)

ORVELLE_STORE(kStoredUpdateUrl, ORVELLE_TEXT_UPDATE_URL_PREFIX, 0x11);
ORVELLE_STORE(kStoredFeedUrl, ORVELLE_TEXT_FEED_URL_PREFIX, 0x22);
ORVELLE_STORE(kStoredProgramId, ORVELLE_TEXT_PROGRAM_ID, 0x33);
ORVELLE_STORE(kStoredSupportUrl, ORVELLE_TEXT_SUPPORT_URL, 0x44);
ORVELLE_STORE(kStoredNotice, ORVELLE_TEXT_NOTICE, 0x55);
ORVELLE_STORE(kStoredClearCaption, ORVELLE_TEXT_CLEAR_CAPTION, 0x66);
ORVELLE_STORE(kStoredSettingsFile, ORVELLE_TEXT_SETTINGS_FILE, 0x77);
ORVELLE_STORE(kStoredProductTitle, ORVELLE_TEXT_PRODUCT_TITLE, 0x88);

#undef ORVELLE_STORE

}  // namespace

const char* StoredTextBytes(StoredText which) {
    switch (which) {
    case StoredText::UpdateUrlPrefix: return kStoredUpdateUrl.c_str();
    case StoredText::FeedUrlPrefix: return kStoredFeedUrl.c_str();
    case StoredText::ProgramId: return kStoredProgramId.c_str();
    case StoredText::SupportUrl: return kStoredSupportUrl.c_str();
    case StoredText::NoticeText: return kStoredNotice.c_str();
    case StoredText::ClearResultsCaption: return kStoredClearCaption.c_str();
    case StoredText::SettingsFileName: return kStoredSettingsFile.c_str();
    case StoredText::ProductTitle: return kStoredProductTitle.c_str();
    }
    return "";
}

std::string DecodeStoredText(StoredText which) {
    return UnscrambleText(StoredTextBytes(which), kStoredTextKey, kStoredTextMultiplier, kStoredTextIncrement);
}

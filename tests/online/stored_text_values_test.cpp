// The stored texts against their plain values. This program holds the plain
// values itself, so it is never one of the programs scanned for them.
#include <gtest/gtest.h>

#include <string>

#include "StoredTextValues.h"
#include "StoredTexts.h"

namespace {

struct StoredCase {
    StoredText which;
    const char* plain;
};

const StoredCase kStored[] = {
    {StoredText::UpdateUrlPrefix, ORVELLE_TEXT_UPDATE_URL_PREFIX},
    {StoredText::FeedUrlPrefix, ORVELLE_TEXT_FEED_URL_PREFIX},
    {StoredText::ProgramId, ORVELLE_TEXT_PROGRAM_ID},
    {StoredText::SupportUrl, ORVELLE_TEXT_SUPPORT_URL},
    {StoredText::NoticeText, ORVELLE_TEXT_NOTICE},
    {StoredText::ClearResultsCaption, ORVELLE_TEXT_CLEAR_CAPTION},
    {StoredText::SettingsFileName, ORVELLE_TEXT_SETTINGS_FILE},
    {StoredText::ProductTitle, ORVELLE_TEXT_PRODUCT_TITLE},
};

TEST(StoredTextValues, DecodeToTheirPlainValues) {
    for (const StoredCase& t : kStored) {
        EXPECT_EQ(DecodeStoredText(t.which), t.plain);
        EXPECT_EQ(std::string(StoredTextBytes(t.which)).find(t.plain), std::string::npos) << t.plain;
    }
}

TEST(StoredTextValues, AreTheChosenOnes) {
    EXPECT_EQ(DecodeStoredText(StoredText::ProductTitle), "Voskar·Orvelle");
    EXPECT_EQ(DecodeStoredText(StoredText::ProductTitle), "Voskar\xA1\xA4Orvelle");  // GBK middle dot
    EXPECT_EQ(DecodeStoredText(StoredText::SettingsFileName), "Orvelle.ini");
    EXPECT_EQ(DecodeStoredText(StoredText::ProgramId), "VskOrvelle");
}

TEST(StoredTextValues, SuitTheirUses) {
    // Names a kernel object (with "_7041") and registry keys: no backslash.
    EXPECT_EQ(DecodeStoredText(StoredText::ProgramId).find('\\'), std::string::npos);
    // A bare file name, appended to the program's folder.
    EXPECT_EQ(DecodeStoredText(StoredText::SettingsFileName).find_first_of("\\/:"), std::string::npos);
    // Fetched with the version appended, and opened in the browser.
    for (StoredText url : {StoredText::UpdateUrlPrefix, StoredText::FeedUrlPrefix, StoredText::SupportUrl}) {
        const std::string text = DecodeStoredText(url);
        EXPECT_TRUE(text.rfind("https://", 0) == 0 || text.rfind("http://", 0) == 0) << text;
    }
}

}  // namespace

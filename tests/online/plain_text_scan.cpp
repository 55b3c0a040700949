// Checks built programs for the plain values of the stored texts.
//
//   plain_text_scan FILE...
//
// Each file must hold every stored text in its scrambled form (so the scan
// looks at a program that really carries them) and none of them as plain
// narrow text. Exit code 0 when every file passes.
#include <cstdio>
#include <string>
#include <vector>

#include "StoredTextValues.h"
#include "StoredTexts.h"

namespace {

struct Entry {
    StoredText which;
    const char* name;
    const char* plain;
};

const Entry kEntries[] = {
    {StoredText::UpdateUrlPrefix, "update address", ORVELLE_TEXT_UPDATE_URL_PREFIX},
    {StoredText::FeedUrlPrefix, "feed address", ORVELLE_TEXT_FEED_URL_PREFIX},
    {StoredText::ProgramId, "program identifier", ORVELLE_TEXT_PROGRAM_ID},
    {StoredText::SupportUrl, "support address", ORVELLE_TEXT_SUPPORT_URL},
    {StoredText::NoticeText, "notice text", ORVELLE_TEXT_NOTICE},
    {StoredText::ClearResultsCaption, "clear-results caption", ORVELLE_TEXT_CLEAR_CAPTION},
    {StoredText::SettingsFileName, "settings file name", ORVELLE_TEXT_SETTINGS_FILE},
    {StoredText::ProductTitle, "product title", ORVELLE_TEXT_PRODUCT_TITLE},
};

bool ReadWholeFile(const char* path, std::string& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool ScanFile(const char* path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty()) {
        std::printf("%s: cannot be read\n", path);
        return false;
    }
    bool ok = true;
    for (const Entry& e : kEntries) {
        const size_t plainAt = bytes.find(e.plain);
        if (plainAt != std::string::npos) {
            std::printf("%s: the %s is there in plain text at offset %zu\n", path, e.name, plainAt);
            ok = false;
        }
        if (bytes.find(StoredTextBytes(e.which)) == std::string::npos) {
            std::printf("%s: does not carry the stored %s\n", path, e.name);
            ok = false;
        }
    }
    std::printf("%s: %s\n", path, ok ? "no stored text in plain form" : "FAILED");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: plain_text_scan FILE...\n");
        return 2;
    }
    // The table above must describe what the program stores.
    bool ok = true;
    for (const Entry& e : kEntries) {
        if (DecodeStoredText(e.which) != e.plain) {
            std::printf("the stored %s does not decode to its plain value\n", e.name);
            ok = false;
        }
    }
    for (int i = 1; i < argc; ++i) ok = ScanFile(argv[i]) && ok;
    return ok ? 0 : 1;
}

#include "VersionText.h"

std::string FormatFileVersion(uint32_t fileVersionMS, uint32_t fileVersionLS) {
    const unsigned major = fileVersionMS >> 16, minor = fileVersionMS & 0xFFFFu;
    const unsigned build = fileVersionLS >> 16, revision = fileVersionLS & 0xFFFFu;
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (build != 0 || revision != 0) text += "." + std::to_string(build) + "." + std::to_string(revision);
    return text;
}

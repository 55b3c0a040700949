// Which bytes of the ANSI code page start a double-byte character. Paths are
// narrow strings in whatever code page the process runs under: a byte that is
// a lead byte under 936 is a letter of its own under 1252 (é, ü), so every
// cut of a path at "\" or "." must ask the code page actually in use.
#pragma once

#include <cstdint>

class CodePage {
public:
    // A page with no double-byte characters (1252, 1251, 437 ...).
    CodePage() = default;
    // The built-in table of a page: 936, 932, 949 and 950 are double-byte,
    // every other number is taken as single-byte.
    static CodePage Builtin(unsigned number);
    // A page whose lead bytes are known one by one (from the system); the
    // trail bytes are those of the built-in table when it has the page, else
    // any byte but NUL.
    static CodePage FromLeadBytes(unsigned number, bool (*isLead)(unsigned char));

    unsigned Number() const { return m_number; }
    bool IsDoubleByte() const { return m_doubleByte; }
    bool IsLead(unsigned char c) const { return (m_lead[c >> 5] >> (c & 31)) & 1u; }
    bool IsTrail(unsigned char c) const { return (m_trail[c >> 5] >> (c & 31)) & 1u; }

private:
    void SetLead(unsigned from, unsigned to);
    void SetTrail(unsigned from, unsigned to);

    unsigned m_number = 1252;
    bool m_doubleByte = false;
    uint32_t m_lead[8] = {};
    uint32_t m_trail[8] = {};
};

// The code page the whole process cuts its narrow strings by. On Windows it is
// the system's ANSI code page (GetACP with IsDBCSLeadByteEx), found on first
// use; elsewhere 936 until a caller installs another.
const CodePage& ActiveCodePage();
// Installs page for the whole process (tests, or a program that knows better);
// null returns to the default. The page must outlive its use.
void SetActiveCodePage(const CodePage* page);

// The one test the program uses for "this byte starts a two-byte character".
inline bool IsAnsiLeadByte(unsigned char c) { return ActiveCodePage().IsLead(c); }

// Installs a code page for as long as it lives, then puts the previous back.
class ScopedActiveCodePage {
public:
    explicit ScopedActiveCodePage(unsigned number);
    ~ScopedActiveCodePage();
    ScopedActiveCodePage(const ScopedActiveCodePage&) = delete;
    ScopedActiveCodePage& operator=(const ScopedActiveCodePage&) = delete;

private:
    CodePage m_page;
    const CodePage* m_previous;
};

#include "CodePage.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

void CodePage::SetLead(unsigned from, unsigned to) {
    for (unsigned c = from; c <= to; ++c) m_lead[c >> 5] |= 1u << (c & 31);
    m_doubleByte = true;
}

void CodePage::SetTrail(unsigned from, unsigned to) {
    for (unsigned c = from; c <= to; ++c) m_trail[c >> 5] |= 1u << (c & 31);
}

CodePage CodePage::Builtin(unsigned number) {
    CodePage page;
    page.m_number = number;
    switch (number) {
    case 936:  // GBK
        page.SetLead(0x81, 0xFE);
        page.SetTrail(0x40, 0x7E);
        page.SetTrail(0x80, 0xFE);
        break;
    case 932:  // Shift-JIS: 0xA1-0xDF are half-width katakana, single bytes
        page.SetLead(0x81, 0x9F);
        page.SetLead(0xE0, 0xFC);
        page.SetTrail(0x40, 0x7E);
        page.SetTrail(0x80, 0xFC);
        break;
    case 949:  // Unified Hangul Code
        page.SetLead(0x81, 0xFE);
        page.SetTrail(0x41, 0x5A);
        page.SetTrail(0x61, 0x7A);
        page.SetTrail(0x81, 0xFE);
        break;
    case 950:  // Big5
        page.SetLead(0x81, 0xFE);
        page.SetTrail(0x40, 0x7E);
        page.SetTrail(0xA1, 0xFE);
        break;
    default: break;
    }
    return page;
}

CodePage CodePage::FromLeadBytes(unsigned number, bool (*isLead)(unsigned char)) {
    CodePage known = Builtin(number);
    CodePage page;
    page.m_number = number;
    for (unsigned c = 0x80; c <= 0xFF; ++c)
        if (isLead(static_cast<unsigned char>(c))) page.SetLead(c, c);
    if (known.m_doubleByte) {
        for (int i = 0; i < 8; ++i) page.m_trail[i] = known.m_trail[i];
    } else if (page.m_doubleByte) {
        page.SetTrail(0x01, 0xFF);
    }
    return page;
}

namespace {

std::atomic<const CodePage*> g_installed{nullptr};

#ifdef _WIN32
UINT g_systemPage = 0;
bool SystemLead(unsigned char c) { return IsDBCSLeadByteEx(g_systemPage, c) != FALSE; }

CodePage MakeSystemPage() {
    g_systemPage = GetACP();
    return CodePage::FromLeadBytes(g_systemPage, SystemLead);
}
#endif

const CodePage& DefaultPage() {
#ifdef _WIN32
    static const CodePage page = MakeSystemPage();
#else
    static const CodePage page = CodePage::Builtin(936);
#endif
    return page;
}

}  // namespace

const CodePage& ActiveCodePage() {
    const CodePage* page = g_installed.load(std::memory_order_acquire);
    return page ? *page : DefaultPage();
}

void SetActiveCodePage(const CodePage* page) { g_installed.store(page, std::memory_order_release); }

ScopedActiveCodePage::ScopedActiveCodePage(unsigned number)
    : m_page(CodePage::Builtin(number)), m_previous(g_installed.load(std::memory_order_acquire)) {
    SetActiveCodePage(&m_page);
}

ScopedActiveCodePage::~ScopedActiveCodePage() { SetActiveCodePage(m_previous); }

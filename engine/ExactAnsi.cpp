#include "ExactAnsi.h"

#include <windows.h>

#include <algorithm>

ExactConversionCall ExactConversionFor(unsigned codePage) {
    // UTF-8 as the ANSI page takes no best-fit flag; the round trip below
    // still catches what it cannot hold (lone surrogates).
    if (codePage == CP_UTF8) return {0, false};
    return {WC_NO_BEST_FIT_CHARS, true};
}

bool WideToAnsiExactly(const wchar_t* text, size_t length, std::string& ansi) {
    ansi.clear();
    if (length == 0) return true;
    const int n = static_cast<int>(length);
    const ExactConversionCall call = ExactConversionFor(GetACP());
    const DWORD flags = call.flags;
    int size = WideCharToMultiByte(CP_ACP, flags, text, n, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    ansi.resize(static_cast<size_t>(size));
    BOOL usedDefault = FALSE;
    size = WideCharToMultiByte(CP_ACP, flags, text, n, &ansi[0], size, nullptr,
                               call.reportsDefaultUsed ? &usedDefault : nullptr);
    if (size <= 0) {
        ansi.clear();
        return false;
    }
    ansi.resize(static_cast<size_t>(size));
    if (usedDefault) return false;
    // Some pages map a character to another without using the default one:
    // only a round trip to the same UTF-16 proves the text is exact.
    std::wstring back;
    return AnsiToWide(ansi, back) && back.size() == length && back.compare(0, length, text, length) == 0;
}

bool WideToAnsiExactly(const std::wstring& text, std::string& ansi) {
    return WideToAnsiExactly(text.data(), text.size(), ansi);
}

bool AnsiToWide(const std::string& ansi, std::wstring& wide) {
    wide.clear();
    if (ansi.empty()) return true;
    const int n = static_cast<int>(ansi.size());
    int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), n, nullptr, 0);
    if (size <= 0) return false;
    wide.resize(static_cast<size_t>(size));
    size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), n, &wide[0], size);
    if (size <= 0) {
        wide.clear();
        return false;
    }
    wide.resize(static_cast<size_t>(size));
    return true;
}

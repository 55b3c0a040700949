#include "UiText.h"

namespace {

UINT UiCodePage() {
    static const UINT page = IsValidCodePage(kUiTextCodePage) ? kUiTextCodePage : CP_ACP;
    return page;
}

}  // namespace

std::wstring UiWide(std::string_view text) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(UiCodePage(), 0, text.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(UiCodePage(), 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string UiNarrow(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(UiCodePage(), 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(UiCodePage(), 0, text.data(), size, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

std::string ShownNarrow(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

std::wstring WindowTextW(HWND window) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(window, &text[0], length + 1);
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

void SetWindowUiText(HWND window, std::string_view text) { SetWindowTextW(window, UiWide(text).c_str()); }

void SetDlgItemUiText(HWND dialog, int id, std::string_view text) { SetDlgItemTextW(dialog, id, UiWide(text).c_str()); }

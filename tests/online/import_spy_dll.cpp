// A hook DLL for the end-to-end tests: loaded into the program under test
// through a thread hook set before the program runs, it points the program's
// imports of user32!SetTimer, MessageBoxA and MessageBoxW at recorders that append
// one line per call to the file named by ORVELLE_SPY_LOG, then pass the call
// on. Without that variable it changes nothing.
//
//   SetTimer <id> <period>
//   MessageBox <type> <text in code page 936, as hex>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

using SetTimerFn = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);
using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using MessageBoxWFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

SetTimerFn g_setTimer = nullptr;
MessageBoxFn g_messageBox = nullptr;
MessageBoxWFn g_messageBoxW = nullptr;
char g_logPath[MAX_PATH] = {};
CRITICAL_SECTION g_lock;

void Append(const std::string& line) {
    EnterCriticalSection(&g_lock);
    HANDLE file = CreateFileA(g_logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        std::string text = line + "\r\n";
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    LeaveCriticalSection(&g_lock);
}

UINT_PTR WINAPI SpySetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) {
    char line[64];
    wsprintfA(line, "SetTimer %u %u", static_cast<unsigned>(id), periodMs);
    Append(line);
    return g_setTimer(window, id, periodMs, proc);
}

void AppendBox(UINT type, const char* text) {
    std::string line = "MessageBox " + std::to_string(type) + " ";
    static const char kDigits[] = "0123456789abcdef";
    for (const char* p = text ? text : ""; *p; ++p) {
        line += kDigits[static_cast<unsigned char>(*p) >> 4];
        line += kDigits[static_cast<unsigned char>(*p) & 15];
    }
    Append(line);
}

int WINAPI SpyMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    AppendBox(type, text);
    return g_messageBox(owner, text, caption, type);
}

int WINAPI SpyMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const int size = WideCharToMultiByte(936, 0, text ? text : L"", -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(936, 0, text ? text : L"", -1, &narrow[0], size, nullptr, nullptr);
    AppendBox(type, narrow.c_str());
    return g_messageBoxW(owner, text, caption, type);
}

void Patch(BYTE* base, ULONG_PTR from, ULONG_PTR to) {
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk); slot->u1.Function; ++slot) {
            if (slot->u1.Function != from) continue;
            DWORD old = 0;
            if (VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old)) {
                slot->u1.Function = to;
                VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
            }
        }
    }
}

void Install(HMODULE self) {
    DWORD n = GetEnvironmentVariableA("ORVELLE_SPY_LOG", g_logPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    // The hook machinery may unload this DLL after a call; the patched imports need it to stay.
    HMODULE pinned = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(self), &pinned))
        return;
    InitializeCriticalSection(&g_lock);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    g_setTimer = reinterpret_cast<SetTimerFn>(reinterpret_cast<void*>(GetProcAddress(user32, "SetTimer")));
    g_messageBox = reinterpret_cast<MessageBoxFn>(reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxA")));
    g_messageBoxW = reinterpret_cast<MessageBoxWFn>(reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxW")));
    if (!g_setTimer || !g_messageBox || !g_messageBoxW) return;
    auto* program = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    Patch(program, reinterpret_cast<ULONG_PTR>(g_setTimer), reinterpret_cast<ULONG_PTR>(&SpySetTimer));
    Patch(program, reinterpret_cast<ULONG_PTR>(g_messageBox), reinterpret_cast<ULONG_PTR>(&SpyMessageBox));
    Patch(program, reinterpret_cast<ULONG_PTR>(g_messageBoxW), reinterpret_cast<ULONG_PTR>(&SpyMessageBoxW));
    Append("installed");
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK SpyHookProc(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    static bool installed = false;
    if (reason == DLL_PROCESS_ATTACH && !installed) {
        installed = true;
        // Only inside the program under test (by its file name), never in the test that loads it
        // to set the hook.
        char exe[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        const char* name = exe;
        for (const char* p = exe; *p; ++p)
            if (*p == '\\' || *p == '/') name = p + 1;
        char wanted[MAX_PATH] = {};
        if (GetEnvironmentVariableA("ORVELLE_SPY_TARGET", wanted, MAX_PATH) > 0 && lstrcmpiA(name, wanted) == 0)
            Install(instance);
    }
    return TRUE;
}

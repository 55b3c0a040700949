#include "TimerSpy.h"

#include <cstring>

namespace {

using SetTimerFn = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);

SetTimerFn g_realSetTimer = nullptr;
CRITICAL_SECTION g_lock;
bool g_lockReady = false;
std::vector<TimerCall>* g_calls = nullptr;

UINT_PTR WINAPI RecordingSetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) {
    EnterCriticalSection(&g_lock);
    g_calls->push_back({window, id, periodMs});
    LeaveCriticalSection(&g_lock);
    return g_realSetTimer(window, id, periodMs, proc);
}

}  // namespace

bool InstallTimerSpy(HMODULE module) {
    if (!g_lockReady) {
        InitializeCriticalSection(&g_lock);
        g_calls = new std::vector<TimerCall>();
        g_lockReady = true;
    }
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) return false;
    auto real = reinterpret_cast<SetTimerFn>(reinterpret_cast<void*>(GetProcAddress(user32, "SetTimer")));
    if (!real) return false;
    g_realSetTimer = real;

    auto* base = reinterpret_cast<BYTE*>(module ? module : GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return false;
    bool placed = false;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), "user32.dll") != 0) continue;
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk); slot->u1.Function; ++slot) {
            const ULONG_PTR now = slot->u1.Function;
            if (now == reinterpret_cast<ULONG_PTR>(&RecordingSetTimer)) {
                placed = true;
                continue;
            }
            if (now != reinterpret_cast<ULONG_PTR>(real)) continue;
            DWORD old = 0;
            if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old)) return false;
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(&RecordingSetTimer);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
            placed = true;
        }
    }
    return placed;
}

std::vector<TimerCall> RecordedTimerCalls() {
    if (!g_lockReady) return {};
    EnterCriticalSection(&g_lock);
    std::vector<TimerCall> copy = *g_calls;
    LeaveCriticalSection(&g_lock);
    return copy;
}

void ClearRecordedTimerCalls() {
    if (!g_lockReady) return;
    EnterCriticalSection(&g_lock);
    g_calls->clear();
    LeaveCriticalSection(&g_lock);
}

UINT LastTimerPeriod(HWND window, UINT_PTR id) {
    UINT period = 0;
    for (const TimerCall& c : RecordedTimerCalls()) {
        if (c.window == window && c.id == id) period = c.periodMs;
    }
    return period;
}

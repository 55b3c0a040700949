#include "Holders.h"

#include <windows.h>
#include <restartmanager.h>

#include <vector>

#include "UiText.h"

namespace {

struct RestartManager {
    decltype(&RmStartSession) start = nullptr;
    decltype(&RmRegisterResources) registerResources = nullptr;
    decltype(&RmGetList) getList = nullptr;
    decltype(&RmEndSession) end = nullptr;
    bool ok = false;
};

const RestartManager& Rm() {
    static const RestartManager rm = [] {
        RestartManager r;
        // From the system folder only: never a copy beside the program.
        wchar_t system[MAX_PATH] = {};
        UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return r;
        HMODULE dll = LoadLibraryW((std::wstring(system) + L"\\rstrtmgr.dll").c_str());
        if (!dll) return r;
        r.start = reinterpret_cast<decltype(&RmStartSession)>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "RmStartSession")));
        r.registerResources = reinterpret_cast<decltype(&RmRegisterResources)>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "RmRegisterResources")));
        r.getList =
            reinterpret_cast<decltype(&RmGetList)>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "RmGetList")));
        r.end = reinterpret_cast<decltype(&RmEndSession)>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "RmEndSession")));
        r.ok = r.start && r.registerResources && r.getList && r.end;
        return r;
    }();
    return rm;
}

std::wstring FullPathOf(const EntryRef& entry) {
    const WideName path = WidePathOf(entry);
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

}  // namespace

std::wstring ProgramsHolding(const EntryPtr& entry) {
    const RestartManager& rm = Rm();
    if (!entry || !rm.ok) return std::wstring();
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (rm.start(&session, 0, key) != ERROR_SUCCESS) return std::wstring();
    std::wstring names;
    const std::wstring path = FullPathOf(*entry);
    LPCWSTR files[] = {path.c_str()};
    if (rm.registerResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        UINT needed = 0, count = 0;
        DWORD reasons = 0;
        std::vector<RM_PROCESS_INFO> info;
        DWORD status = rm.getList(session, &needed, &count, nullptr, &reasons);
        if (status == ERROR_MORE_DATA && needed > 0) {
            info.resize(needed);
            count = needed;
            status = rm.getList(session, &needed, &count, info.data(), &reasons);
        }
        if (status == ERROR_SUCCESS) {
            for (UINT i = 0; i < count && i < info.size(); ++i) {
                const std::wstring name = info[i].strAppName;
                if (name.empty()) continue;
                names += UiWide(names.empty() ? "占用程序：" : "、");
                names += name;
            }
        }
    }
    rm.end(session);
    return names;
}

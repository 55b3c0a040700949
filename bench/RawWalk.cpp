// The reference walk: FindFirstFileA/FindNextFileA over a tree and nothing
// else. Prints the folders and files it met and the time it took.
#include <windows.h>

#include <cstdio>
#include <cstring>

static unsigned long g_folders, g_files;

static void Walk(const char* folder) {
    char pattern[MAX_PATH];
    if (std::snprintf(pattern, sizeof pattern, "%s\\*", folder) >= MAX_PATH) return;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA(pattern, &d);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!std::strcmp(d.cFileName, ".") || !std::strcmp(d.cFileName, "..")) continue;
            ++g_folders;
            char child[MAX_PATH];
            const char* name = d.cAlternateFileName[0] ? d.cAlternateFileName : d.cFileName;
            if (std::snprintf(child, sizeof child, "%s\\%s", folder, name) < MAX_PATH) Walk(child);
        } else {
            ++g_files;
        }
    } while (FindNextFileA(h, &d));
    FindClose(h);
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    Walk(argv[1]);
    QueryPerformanceCounter(&b);
    std::printf("folders %lu files %lu ms %.1f\n", g_folders, g_files,
                1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart));
    return 0;
}

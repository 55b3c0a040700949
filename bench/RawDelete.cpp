// The reference deletion: lists one folder, then DeleteFileA on every file in
// it through "\\?\" (so that malformed names are reached), timing the deletions.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::string folder = std::string("\\\\?\\") + argv[1];
    std::vector<std::string> files;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + "\\" + d.cFileName);
        } while (FindNextFileA(h, &d));
        FindClose(h);
    }
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    unsigned long deleted = 0;
    for (const std::string& p : files) deleted += DeleteFileA(p.c_str()) ? 1 : 0;
    QueryPerformanceCounter(&b);
    std::printf("deleted %lu of %lu ms %.1f\n", deleted, static_cast<unsigned long>(files.size()),
                1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart));
    return 0;
}

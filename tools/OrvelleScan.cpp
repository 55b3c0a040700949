// Console front end of the engine: walks a folder as the window's search does
// and prints one line per listed entry, then the counters. With --delete it
// also deletes every listed entry and prints the outcome of each.
//
//   OrvelleScan [--hidden] [--readonly] [--system] [--no-names] [--delete] [--quiet] FOLDER
//
// --quiet prints only the counters and timings (for the benchmarks).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Delete.h"
#include "Scan.h"
#include "Win32FileSystem.h"

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(f.QuadPart);
}

struct PrintingSink : RowSink {
    std::vector<std::string> paths;
    bool quiet = false;
    void AppendRow(const ResultRow& row) override {
        paths.push_back(row.path);
        if (quiet) return;
        std::printf("%s\t%s\t%s\t%s\t%s\n", row.path.c_str(), row.bracketedName.c_str(), row.type.c_str(),
                    row.attribute.c_str(), row.result.c_str());
    }
};

int Usage() {
    std::fprintf(stderr, "usage: OrvelleScan [--hidden] [--readonly] [--system] [--no-names] [--delete] FOLDER\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ScanOptions options{1, 0, 0, 0};
    bool remove = false;
    bool quiet = false;
    const char* root = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hidden") == 0)
            options.hidden = 1;
        else if (std::strcmp(argv[i], "--readonly") == 0)
            options.readOnly = 1;
        else if (std::strcmp(argv[i], "--system") == 0)
            options.system = 1;
        else if (std::strcmp(argv[i], "--no-names") == 0)
            options.malformedNames = 0;
        else if (std::strcmp(argv[i], "--delete") == 0)
            remove = true;
        else if (std::strcmp(argv[i], "--quiet") == 0)
            quiet = true;
        else if (argv[i][0] == '-' || root)
            return Usage();
        else
            root = argv[i];
    }
    if (!root) return Usage();

    FileSystem& fs = TheFileSystem();
    ScanState state;
    PrintingSink sink;
    sink.quiet = quiet;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    ScanFolder(fs, root, options, sink, state);
    QueryPerformanceCounter(&end);
    std::printf("rows %d folders %d files %d malformed-folders %d malformed-files %d walk-ms %.1f\n",
                state.rowsListed.load(), state.foldersSearched.load(), state.filesSearched.load(),
                state.malformedFolders.load(), state.malformedFiles.load(), Milliseconds(start, end));
    if (!remove) return 0;

    int failed = 0;
    QueryPerformanceCounter(&start);
    DeleteSession session(fs);  // as the window deletes its rows: one batch
    for (const std::string& path : sink.paths) {
        bool ok = session.DeleteListedPath(path);
        if (!quiet) std::printf("%s\t%s\n", ok ? "deleted" : "failed", path.c_str());
        if (!ok) ++failed;
    }
    QueryPerformanceCounter(&end);
    std::printf("deleted %d failed %d delete-ms %.1f\n", static_cast<int>(sink.paths.size()) - failed, failed,
                Milliseconds(start, end));
    return failed == 0 ? 0 : 1;
}

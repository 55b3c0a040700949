// One instance of the program as far as the command-line step goes, for the
// hand-over tests. The block is named after ORVELLE_HANDOVER_TEST_ID; every
// deletion and message box is answered here and written to standard output,
// one line each: "DELETE path", "BOX text", and "WINDOW hasArgument path"
// when the step returns (the window would open); paths in the ANSI code page.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "CommandLineStep.h"

namespace {

// A path in the ANSI code page, as the test's own strings are.
std::string Ansi(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = static_cast<int>(text.size());
    std::string ansi(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), n, &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi;
}

void Say(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int main() {
    const char* appId = std::getenv("ORVELLE_HANDOVER_TEST_ID");
    if (!appId || !*appId) return 3;
    HandOverBlocks blocks;
    const CommandLineStepResult result = RunCommandLineStep(
        blocks, appId,
        [](const std::u16string& path) {
            Say("DELETE " + Ansi(std::wstring(path.begin(), path.end())));
            return true;
        },
        [](const std::string& text, const std::string&, unsigned) {
            Say("BOX " + text);
            return IDYES;
        });
    Say(std::string("WINDOW ") + (result.hasArgument ? "1 " : "0 ") + Ansi(result.searchPath));
    return 0;
}

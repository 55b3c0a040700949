// One instance of the program as far as the command-line step goes, for the
// hand-over tests. The block is named after ORVELLE_HANDOVER_TEST_ID; every
// deletion and message box is answered here and written to standard output,
// one line each: "DELETE path", "BOX text", and "WINDOW hasArgument path"
// when the step returns (the window would open).
#include <windows.h>

#include <cstdlib>
#include <string>

#include "CommandLineStep.h"

namespace {

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
        [](const std::string& path) {
            Say("DELETE " + path);
            return true;
        },
        [](const std::string& text, const std::string&, unsigned) {
            Say("BOX " + text);
            return IDYES;
        });
    Say(std::string("WINDOW ") + (result.hasArgument ? "1 " : "0 ") + result.searchPath);
    return 0;
}

#include "CommandLine.h"

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

CommandLineRequest ClassifyArgument(std::string_view argument) {
    CommandLineRequest request;
    if (argument.size() <= 3) return request;
    const bool search =
        LowerAscii(argument[0]) == '-' && LowerAscii(argument[1]) == 'p' && LowerAscii(argument[2]) == ':';
    request.kind = search ? RequestKind::Search : RequestKind::Delete;
    request.path.assign(argument.substr(3));
    return request;
}

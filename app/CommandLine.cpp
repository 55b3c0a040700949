#include "CommandLine.h"

namespace {

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

CommandLineRequest ClassifyArgument(std::u16string_view argument) {
    CommandLineRequest request;
    if (argument.size() <= 3) return request;
    const bool search =
        LowerAscii(argument[0]) == u'-' && LowerAscii(argument[1]) == u'p' && LowerAscii(argument[2]) == u':';
    request.kind = search ? RequestKind::Search : RequestKind::Delete;
    request.path.assign(argument.substr(3));
    return request;
}

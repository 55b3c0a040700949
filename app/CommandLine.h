// The first command-line argument and what it asks for.
#pragma once

#include <string>
#include <string_view>

enum class RequestKind {
    None,    // 3 units or fewer: the window opens with an empty path field
    Search,  // "-p:" (any letter case) and a path: the path goes into the path field
    Delete,  // any other 3-unit prefix ("-d:" is the registered one) and a path
};

struct CommandLineRequest {
    RequestKind kind = RequestKind::None;
    std::u16string path;  // everything after the 3-unit prefix, exactly
};

// Classifies the first argument after the program name, in UTF-16 as the
// command line gives it; a character counts as one unit (a character outside
// the basic plane as two).
CommandLineRequest ClassifyArgument(std::u16string_view argument);

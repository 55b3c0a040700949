// The first command-line argument and what it asks for.
#pragma once

#include <string>
#include <string_view>

enum class RequestKind {
    None,    // 3 bytes or fewer: the window opens with an empty path field
    Search,  // "-p:" (any letter case) and a path: the path goes into the path field
    Delete,  // any other 3-byte prefix ("-d:" is the registered one) and a path
};

struct CommandLineRequest {
    RequestKind kind = RequestKind::None;
    std::string path;  // everything after the 3-byte prefix
};

// Classifies the first argument after the program name, already converted to
// the ANSI code page.
CommandLineRequest ClassifyArgument(std::string_view argument);

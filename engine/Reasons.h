// Why an operation on an entry failed, in a few words, from the system's
// error code (the ones the engine gives back itself included).
#pragma once

#include <cstdint>

// The window's text, in Chinese; null for a code without a text of its own
// (the window then asks the system for one).
const char* ReasonTextOf(uint32_t error);

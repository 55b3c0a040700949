// Why an operation on an entry failed, in a few words, from the system's
// error code (the ones the engine gives back itself included).
#pragma once

#include <cstdint>

// Short English text for scripts ("in use by another program").
const char* ReasonOf(uint32_t error);
// The same for the window, in Chinese; null for a code without a text of its
// own (the window then asks the system for one).
const char* ReasonTextOf(uint32_t error);

// Which programs hold an entry open, where the system can tell (the Restart
// Manager, Vista and later, loaded at run time; nothing on XP).
#pragma once

#include <string>

#include "Entry.h"

// "占用程序：a.exe、b.exe", or empty when the system cannot tell.
std::wstring ProgramsHolding(const EntryPtr& entry);

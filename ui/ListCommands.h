// Pieces the result list's command handlers share.
#pragma once

#include <windows.h>

#include <string>

#include "ListCtrl.h"
#include "ListRules.h"

// The sort state of the result list; it lives as long as the process, and
// nothing resets it (neither a new search nor clearing the list).
ListSortState& TheListSortState();

// The running Windows version's name (WindowsVersionName of GetVersionExA).
std::string GetWindowsVersionName();

// Grays or enables the selection commands of the list menu's popup, and labels
// the Explorer switch by whether the integration is present.
void PrepareListMenu(HMENU popup, bool hasSelection, bool integrationPresent);

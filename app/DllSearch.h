#pragma once

// Whether the folders DLLs may be loaded from are limited to Windows' own
// System32, so that no DLL planted beside the program or in the current
// folder is ever loaded. On Windows the limit is set before any static
// initialiser runs (windows/DllSearch.cpp); the DLLs Kestrum.exe imports
// lazily load on their first use, after that. Called first thing in main():
// tells the user and returns false if Windows refused; where there is
// nothing to limit it returns true.
bool restrictDllSearch();

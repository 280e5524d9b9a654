#pragma once

// Limits the folders DLLs may be loaded from to Windows' own System32, so that
// no DLL planted beside the program or in the current folder is ever loaded.
// Called first thing in main(): the DLLs Kestrum.exe imports lazily load on
// their first use, after this. Tells the user and returns false if Windows
// refused; where there is nothing to limit it returns true.
bool restrictDllSearch();

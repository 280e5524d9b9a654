#include "DllSearch.h"

#include <windows.h>

bool restrictDllSearch()
{
    if (SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    // No window exists yet, and Qt could not be trusted to start safely.
    MessageBoxW(nullptr, L"DLL の読み込み先を System32 に限定できないため、起動を中止しました。",
                L"Kestrum", MB_OK | MB_ICONERROR);
    return false;
}

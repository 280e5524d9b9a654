#include "DllSearch.h"

#include <windows.h>

namespace {

bool limited = false;

// Runs as a TLS callback: the loader calls it once the DLLs the program
// imports (Windows' KnownDLLs only) are loaded and before the C runtime
// starts, so before any static initialiser of Kestrum or Qt could call into
// a DLL that is loaded on first use.
void NTAPI limitDllSearch(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        limited = SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

} // namespace

// The C runtime's TLS directory calls every callback in the .CRT$XL* sections,
// in the order of their names; A and Z are its own bounds.
extern "C" __attribute__((section(".CRT$XLB"), used))
const PIMAGE_TLS_CALLBACK kestrumLimitDllSearch
    = limitDllSearch;

bool restrictDllSearch()
{
    if (limited)
        return true;
    // No window exists yet, and Qt could not be trusted to start safely.
    MessageBoxW(nullptr, L"DLL の読み込み先を System32 に限定できないため、起動を中止しました。",
                L"Kestrum", MB_OK | MB_ICONERROR);
    return false;
}

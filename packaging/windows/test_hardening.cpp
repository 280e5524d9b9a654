// A tiny program linked as every executable of the Windows build is, and put
// through Kestrum.exe's fix-up: what the release gate sees of it comes from
// the real compiler and linker with the build's own flags
// (test_hardening.cmake builds it once as is and once without each
// protection; test_hardening.py runs the gate on each).
#include <windows.h>

// Kestrum.exe's own load configuration and end of the delay-import table,
// which the fix-up points the header at; one variant leaves them out.
#ifndef WITHOUT_LOAD_CONFIGURATION
#include "../../app/windows/LoadConfiguration.cpp"
#endif

// A local array handed to code outside the function: -fstack-protector-strong
// guards this frame with a canary, so the link takes libssp's handler.
static unsigned long environmentLength()
{
    char value[64];
    return GetEnvironmentVariableA("KESTRUM", value, sizeof value);
}

int main()
{
    // One call into each of two DLLs of delay-loaded.txt: the build's
    // delay-load libraries make both load on first use, which gives the
    // fix-up its delay-import table; a variant links version.dll directly.
    return static_cast<int>(environmentLength() + timeGetTime()
                            + GetFileVersionInfoSizeW(L"kernel32.dll", nullptr));
}

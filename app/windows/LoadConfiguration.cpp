// Two tables of Kestrum.exe that GNU ld links but does not point the PE
// header to; the post-link fix-up (packaging/windows/exetool/fixup.py) does,
// and fails the build if it cannot.
#include <windows.h>

#include <cstddef>

// The load configuration. Windows 10 1607 and later search the DLLs an
// executable imports only where its DependentLoadFlags say: here System32,
// never the program's folder.
constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 loadConfiguration()
{
    IMAGE_LOAD_CONFIG_DIRECTORY64 config {};
    config.Size = sizeof config;
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32; // DependentLoadFlags in newer headers
    return config;
}

// Where the fix-up and the release gate read DependentLoadFlags
// (DEPENDENT_LOAD_FLAGS_OFFSET in packaging/windows/exetool/pe.py).
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, Reserved1) == 0x4E);

// The loader reads it before any code runs, so it is constant-initialised.
extern "C" constinit const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = loadConfiguration();

// The delay-import descriptors of the DLLs loaded on first use each sit in a
// section named .text$2, which ld places side by side; this empty descriptor
// sorts right after them and ends the table. Aligned as they are, so that
// no padding comes between.
extern "C" __attribute__((section(".text$2z"))) alignas(16) const
    unsigned char kestrumDelayImportEnd[32]
    = {};

#include "DllSearch.h"

// The dynamic linker looks only where the system and the executable's own
// run path say, never in the current folder.
bool restrictDllSearch()
{
    return true;
}

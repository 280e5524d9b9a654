/* A Windows program that reads its own version resource through the version
 * API, as Explorer and installers do, and prints what it finds: the
 * translation, then each string value as its UTF-16 units in hex.
 *   Translation=041103A4
 *   CompanyName=682A5F0F...
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static const char *const keys[] = { "CompanyName",    "FileDescription",  "FileVersion",
                                    "InternalName",   "LegalCopyright",   "OriginalFilename",
                                    "ProductName",    "ProductVersion" };

int main(void)
{
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(NULL, path, MAX_PATH))
        return 2;
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &unused);
    if (size == 0) {
        printf("GetFileVersionInfoSizeW failed: %lu\n", GetLastError());
        return 1;
    }
    void *info = malloc(size);
    if (!info || !GetFileVersionInfoW(path, 0, size, info)) {
        printf("GetFileVersionInfoW failed: %lu\n", GetLastError());
        return 1;
    }

    WORD *translation = NULL;
    UINT length = 0;
    if (VerQueryValueW(info, L"\\VarFileInfo\\Translation", (void **)&translation, &length)
        && length >= 4)
        printf("Translation=%04X%04X\n", translation[0], translation[1]);

    for (size_t k = 0; k < sizeof keys / sizeof keys[0]; ++k) {
        wchar_t query[64];
        swprintf(query, 64, L"\\StringFileInfo\\041103A4\\%hs", keys[k]);
        wchar_t *value = NULL;
        UINT units = 0;
        if (!VerQueryValueW(info, query, (void **)&value, &units))
            continue;
        printf("%s=", keys[k]);
        for (UINT i = 0; i < units && value[i] != 0; ++i)
            printf("%04X", value[i]);
        printf("\n");
    }
    free(info);
    return 0;
}

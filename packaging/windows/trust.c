/* For tests only: asks Windows' own WinVerifyTrust what it makes of an
 * executable's Authenticode signature, as Explorer and SmartScreen do
 * before they judge it, and prints the result and the signer's name:
 *   800b0100 -                      (TRUST_E_NOSIGNATURE: none)
 *   800b0109 Kestrum Test Signer    (CERT_E_UNTRUSTEDROOT)
 * Nothing is fetched: no revocation check, no user interface.
 * Usage: trust.exe FILE */
#include <windows.h>

#include <softpub.h>
#include <stdio.h>
#include <wintrust.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) {
        fputs("usage: trust.exe FILE\n", stderr);
        return 2;
    }
    WINTRUST_FILE_INFO file = { sizeof file, argv[1], NULL, NULL };
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_DATA data = { 0 };
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    const LONG result = WinVerifyTrust(INVALID_HANDLE_VALUE, &action, &data);

    wchar_t signer[256] = L"-";
    CRYPT_PROVIDER_DATA *provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR *first = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0)
                                          : NULL;
    if (first && first->csCertChain > 0 && first->pasCertChain[0].pCert)
        CertGetNameStringW(first->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, NULL,
                           signer, 256);
    printf("%08lx %ls\n", (unsigned long)result, signer);

    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(INVALID_HANDLE_VALUE, &action, &data);
    return 0;
}

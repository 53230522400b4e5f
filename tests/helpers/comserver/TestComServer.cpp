// A COM server stand-in for the registration tests (and the uninstaller's):
// DllRegisterServer sets HKCU\Software\TarvTest\ComServer\<file name> to
// "registered", DllUnregisterServer removes that value. Built three ways:
//   TestComServer.dll      both exports, registration succeeds
//   TestComServerFail.dll  DllRegisterServer writes nothing and answers E_FAIL
//   TestNoServer.dll       no exports at all
#include <windows.h>

#ifndef TEST_NO_EXPORTS

static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

// The DLL's file name without its folder.
static const char* OwnName(char* buffer, DWORD size) {
    DWORD n = GetModuleFileNameA(self, buffer, size);
    const char* name = buffer;
    for (DWORD i = 0; i < n; ++i)
        if (buffer[i] == '\\' || buffer[i] == '/') name = buffer + i + 1;
    return name;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
#ifdef TEST_SERVER_FAILS
    return E_FAIL;
#else
    char path[MAX_PATH];
    const char* name = OwnName(path, MAX_PATH);
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\TarvTest\\ComServer", &key)) return E_FAIL;
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)"registered", 11);
    RegCloseKey(key);
    return rc ? E_FAIL : S_OK;
#endif
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
    char path[MAX_PATH];
    const char* name = OwnName(path, MAX_PATH);
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Software\\TarvTest\\ComServer", &key)) return S_OK;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
    return S_OK;
}

#endif

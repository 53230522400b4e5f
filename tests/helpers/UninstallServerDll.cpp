// UninstallServerDll: a stand-in COM server for the uninstaller's tests.
// DllRegisterServer writes the value HKCU\Software\TarvTest\Server\Path (the
// DLL's own path); DllUnregisterServer deletes that key again, or, while the
// environment variable TARV_UNREGISTER_FAILS is set, leaves it and answers
// E_FAIL, as a server that cannot unregister does.
#include <windows.h>

static HMODULE self;
static const char kKey[] = "Software\\TarvTest\\Server";

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) != ERROR_SUCCESS) return E_FAIL;
    LONG rc = RegSetValueExA(key, "Path", 0, REG_SZ, (const BYTE*)path, length + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
    if (GetEnvironmentVariableA("TARV_UNREGISTER_FAILS", nullptr, 0)) return E_FAIL;
    LONG rc = RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}

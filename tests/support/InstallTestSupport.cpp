#include "InstallTestSupport.h"

std::string HelperPath(const std::string& name) {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.rfind('\\') + 1) + name;
}

std::string RegValueForTest(HKEY root, const std::string& key, const std::string& name, DWORD* type) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k)) return "<absent>";
    char data[4096];
    DWORD size = sizeof data, t = 0;
    LONG rc = RegQueryValueExA(k, name.c_str(), nullptr, &t, (BYTE*)data, &size);
    RegCloseKey(k);
    if (rc) return "<absent>";
    if (type) *type = t;
    if (t == REG_SZ && size > 0 && data[size - 1] == '\0') --size;
    return std::string(data, size);
}

long RunForTest(std::string commandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = (DWORD)-1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return (long)code;
}

#include "system/wqShell.h"

#include <shellapi.h>
#include <shlobj.h>

#include "config/wqErrors.h"
#include "config/wqPath.h"

// Not in the headers of the Windows version this is built for.
#ifndef BIF_BROWSEFORCOMPUTER
#define BIF_BROWSEFORCOMPUTER 0x1000
#endif

const TSpecialFolder SpecialFolderTable[kSpecialFolderCount] = {
    {CSIDL_DESKTOPDIRECTORY, "Desktop"}, {CSIDL_FONTS, "Fonts"},
    {CSIDL_NETHOOD, "NetHood"},          {CSIDL_PERSONAL, "Personal"},
    {CSIDL_PROGRAMS, "ProgramsMenu"},    {CSIDL_RECENT, "Recent"},
    {CSIDL_SENDTO, "SendTo"},            {CSIDL_STARTMENU, "StartMenu"},
    {CSIDL_STARTUP, "StartupMenu"},      {CSIDL_TEMPLATES, "Templates"},
};

// ---- Folder chooser ----

// The chooser's callback gets no context of ours before it is initialised,
// so the preselection waits here; one chooser at a time.
static TStr initialSelection;

static int CALLBACK ChooserCallback(HWND chooser, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED)
        SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, (LPARAM)initialSelection.c_str());
    return 0;
}

static void RaiseSystemError(DWORD code) {
    char text[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    RaiseError(n ? TStr(text, n) : Format("System error %u", (unsigned)code));
}

// The file-system path of an item list; false when it has none.
static bool PathOfItem(LPCITEMIDLIST item, TStr& path) {
    char buffer[MAX_PATH];
    if (!SHGetPathFromIDListA(item, buffer)) return false;
    path = buffer;
    return true;
}

TBrowseResult BrowseForFolder(HWND owner, const TStr& title, int root, UINT flags, TStr& path) {
    LPITEMIDLIST rootItem = nullptr;
    HRESULT hr = SHGetSpecialFolderLocation(0, root, &rootItem);
    if (FAILED(hr)) {
        RaiseSystemError((DWORD)hr);
        return brFailed;
    }
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = rootItem;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = flags;
    info.lpfn = ChooserCallback;
    initialSelection = path;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    TBrowseResult result = chosen ? brChosen : brCancelled;
    if (chosen && (flags & BIF_BROWSEFORCOMPUTER)) {
        path = displayName;
    } else if (chosen && !PathOfItem(chosen, path)) {
        RaiseSystemError(GetLastError());
        result = brFailed;
    }
    CoTaskMemFree(chosen);
    CoTaskMemFree(rootItem);
    return result;
}

TBrowseResult BrowseForInstallFolder(HWND owner, const TStr& title, TStr& path) {
    TBrowseResult result = BrowseForFolder(
        owner, title, CSIDL_DRIVES, BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS, path);
    if (result == brChosen) path = RemoveBackslash(path);
    return result;
}

// ---- Starting programs ----

// Dispatches what is queued; false when WM_QUIT came (it is not passed on).
static bool PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

long RunAndWait(HWND owner, const TStr& file, const TStr& parameters, const TStr& folder,
                int show) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = show;
    if (!ShellExecuteExA(&info) || !info.hProcess) return -1;
    long result = -1;
    while (PumpMessages()) {
        Sleep(1);
        DWORD code;
        if (!GetExitCodeProcess(info.hProcess, &code)) break;
        if (code != STILL_ACTIVE) {
            result = (long)code;
            break;
        }
    }
    CloseHandle(info.hProcess);
    return result;
}

// ---- Special folders ----

TStr GetSpecialFolder(int index) {
    if (index < 0 || index >= kSpecialFolderCount) return TStr();
    LPITEMIDLIST item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(0, SpecialFolderTable[index].Csidl, &item))) return TStr();
    TStr path;
    PathOfItem(item, path);
    CoTaskMemFree(item);
    return path;
}

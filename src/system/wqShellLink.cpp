#include "system/wqShellLink.h"

#include <objbase.h>
#include <shlobj.h>

#include "config/wqErrors.h"

static bool comStarted = false;

bool StartComLibrary() {
    comStarted = SUCCEEDED(CoInitialize(nullptr));
    return comStarted;
}

void EndComLibrary() {
    if (comStarted) CoUninitialize();
    comStarted = false;
}

// Shell link class and its two interfaces, spelled out: the headers of the
// Windows version this is built for do not all carry them for ANSI callers.
static const CLSID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID kShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID kPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

static int ShowCommandFor(unsigned char mode) {
    return mode == 1 ? SW_SHOWMINNOACTIVE : mode == 2 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
}

// Sets the properties in their fixed order; true when all answered S_OK.
static bool SetProperties(IShellLinkA* link, const TwqShellLink& s) {
    return link->SetPath(s.Target.c_str()) == S_OK &&
           link->SetArguments(s.Arguments.c_str()) == S_OK &&
           link->SetWorkingDirectory(s.WorkingDirectory.c_str()) == S_OK &&
           link->SetShowCmd(ShowCommandFor(s.ShowMode)) == S_OK &&
           link->SetHotkey(s.HotKey) == S_OK &&
           link->SetDescription(s.Description.c_str()) == S_OK &&
           link->SetIconLocation(s.IconFile.c_str(), (int)s.IconIndex) == S_OK;
}

// The link file's name in UTF-16 from the ANSI code page; empty when it does
// not convert.
static bool WideName(const TStr& name, WCHAR* wide, int size) {
    return MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, size) > 0;
}

bool TwqShellLink::Save() {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA,
                                (void**)&link)) || !link)
        return RaiseError("Cannot create the shell link object");
    bool saved = false;
    if (SetProperties(link, *this)) {
        IPersistFile* file = nullptr;
        if (FAILED(link->QueryInterface(kPersistFile, (void**)&file)) || !file) {
            link->Release();
            return RaiseError("Cannot create the shell link object");
        }
        WCHAR wide[MAX_PATH];
        saved = WideName(LinkFile, wide, MAX_PATH) && file->Save(wide, FALSE) == S_OK;
        file->Release();
    }
    link->Release();
    return saved;
}

bool TwqShellLink::SaveAs(const TStr& linkFile) {
    LinkFile = linkFile;
    return Save();
}

bool CreateShortcutFile(const TStr& linkFile, const TStr& target, const TStr& arguments,
                        const TStr& workingFolder, unsigned char showMode) {
    TwqShellLink link;
    link.Target = target;
    link.Arguments = arguments;
    link.WorkingDirectory = workingFolder;
    link.ShowMode = showMode;
    return link.SaveAs(linkFile);
}

// Shortcuts written through the shell and read back through the shell's own
// link object.
#include "system/wqShellLink.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "config/wqErrors.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

// "target|arguments|folder|description|icon,index|hot key|show command".
// The show command comes from the file's header (offset 0x3C): Wine's link
// object answers SW_SHOWNORMAL after loading whatever the file holds.
std::string ReadLink(const std::string& file) {
    IShellLinkA* link = nullptr;
    IPersistFile* persist = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    std::string r = "<unreadable>";
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist)) && SUCCEEDED(persist->Load(wide, STGM_READ))) {
        char path[MAX_PATH], args[MAX_PATH], folder[MAX_PATH], about[MAX_PATH], icon[MAX_PATH];
        int index = -1;
        WORD hotKey = 0xFFFF;
        link->GetPath(path, MAX_PATH, nullptr, 0), link->GetArguments(args, MAX_PATH);
        link->GetWorkingDirectory(folder, MAX_PATH), link->GetDescription(about, MAX_PATH);
        link->GetIconLocation(icon, MAX_PATH, &index), link->GetHotkey(&hotKey);
        r = std::string(path) + "|" + args + "|" + folder + "|" + about + "|" + icon + "," + std::to_string(index) +
            "|" + std::to_string(hotKey) + "|" + std::to_string((unsigned char)ReadBytes(file)[0x3C]);
    }
    if (persist) persist->Release();
    if (link) link->Release();
    return r;
}

TEST(ShellLink, ShortcutsReadBackWithTheirPropertiesAndShowCommand) {
    ASSERT_TRUE(StartComLibrary());
    ScratchFolder dir;
    const std::string target = dir / "app.exe";
    ASSERT_TRUE(WriteBytes(target, "MZ"));
    const struct { unsigned char mode; int show; } modes[] = {
        {0, SW_SHOWNORMAL}, {1, SW_SHOWMINNOACTIVE}, {2, SW_SHOWMAXIMIZED}, {5, SW_SHOWNORMAL}};
    for (const auto& m : modes) {
        std::string file = dir / ("mode" + std::to_string(m.mode) + ".lnk");
        ASSERT_TRUE(CreateShortcutFile(file.c_str(), target.c_str(), "/a \"b c\"", dir.Path().c_str(), m.mode));
        EXPECT_EQ(ReadLink(file), target + "|/a \"b c\"|" + dir.Path() + "||,0|0|" + std::to_string(m.show));
    }
    TwqShellLink link;
    link.Target = target.c_str();
    link.Description = "Demo";
    link.IconFile = target.c_str();
    link.IconIndex = 2;
    link.HotKey = MAKEWORD('D', HOTKEYF_CONTROL);
    ASSERT_TRUE(link.SaveAs((dir / "full.lnk").c_str()));
    EXPECT_EQ(ReadLink(dir / "full.lnk"), target + "|||Demo|" + target + ",2|" + std::to_string(link.HotKey) + "|1");
    EXPECT_FALSE(CreateShortcutFile((dir / "no\\such\\x.lnk").c_str(), target.c_str(), "", "", 0));
    EXPECT_FALSE(ErrorPending());  // a plain failure, nothing raised
    EndComLibrary();
}

TEST(ShellLink, AThreadWithoutComRaises) {
    TStr error;
    HANDLE thread = CreateThread(nullptr, 0, [](void* out) -> DWORD {
        bool saved = CreateShortcutFile("C:\\x.lnk", "C:\\x.exe", "", "", 0);
        *static_cast<TStr*>(out) = saved ? "saved" : TakeError();
        return 0;
    }, &error, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(error, "Cannot create the shell link object");
}

}  // namespace

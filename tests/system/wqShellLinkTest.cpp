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

struct LinkRead {
    std::string path, arguments, folder, description, icon;
    int show = -1, iconIndex = -1;
    WORD hotKey = 0xFFFF;
};

LinkRead ReadLink(const std::string& file) {
    LinkRead r;
    IShellLinkA* link = nullptr;
    IPersistFile* persist = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)))
        return r;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist)) &&
        SUCCEEDED(persist->Load(wide, STGM_READ))) {
        char text[MAX_PATH];
        link->GetPath(text, MAX_PATH, nullptr, 0), r.path = text;
        link->GetArguments(text, MAX_PATH), r.arguments = text;
        link->GetWorkingDirectory(text, MAX_PATH), r.folder = text;
        link->GetDescription(text, MAX_PATH), r.description = text;
        link->GetIconLocation(text, MAX_PATH, &r.iconIndex), r.icon = text;
        link->GetHotkey(&r.hotKey);
    }
    if (persist) persist->Release();
    link->Release();
    // The show command from the file's header (offset 0x3C): Wine's link
    // object reports SW_SHOWNORMAL after loading whatever the file holds.
    std::string bytes = ReadBytes(file);
    if (bytes.size() >= 0x40) r.show = (unsigned char)bytes[0x3C];
    return r;
}

class ShellLinkTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartComLibrary()); }
    void TearDown() override { EndComLibrary(); }
    ScratchFolder dir;
    std::string target = dir / "app.exe";
};

TEST_F(ShellLinkTest, ShortcutReadsBackWithTheShowCommandOfItsMode) {
    ASSERT_TRUE(WriteBytes(target, "MZ"));
    const struct { unsigned char mode; int show; } cases[] = {
        {0, SW_SHOWNORMAL}, {1, SW_SHOWMINNOACTIVE}, {2, SW_SHOWMAXIMIZED}, {5, SW_SHOWNORMAL}};
    for (const auto& c : cases) {
        std::string file = dir / ("mode" + std::to_string(c.mode) + ".lnk");
        ASSERT_TRUE(CreateShortcutFile(file.c_str(), target.c_str(), "/a \"b c\"", dir.Path().c_str(), c.mode));
        LinkRead r = ReadLink(file);
        EXPECT_STRCASEEQ(r.path.c_str(), target.c_str());
        EXPECT_EQ(r.arguments, "/a \"b c\"");
        EXPECT_EQ(r.folder, dir.Path());
        EXPECT_EQ(r.show, c.show) << (int)c.mode;
        EXPECT_EQ(r.description, "");
        EXPECT_EQ(r.icon, "");  // the target's own icon
        EXPECT_EQ(r.hotKey, 0);
    }
}

TEST_F(ShellLinkTest, EveryPropertyIsStored) {
    ASSERT_TRUE(WriteBytes(target, "MZ"));
    TwqShellLink link;
    link.Target = target.c_str();
    link.Description = "Demo application";
    link.IconFile = target.c_str();
    link.IconIndex = 2;
    link.HotKey = MAKEWORD('D', HOTKEYF_CONTROL | HOTKEYF_ALT);
    ASSERT_TRUE(link.SaveAs((dir / "full.lnk").c_str()));
    EXPECT_EQ(link.LinkFile, (dir / "full.lnk").c_str());
    LinkRead r = ReadLink(dir / "full.lnk");
    EXPECT_EQ(r.description, "Demo application");
    EXPECT_STRCASEEQ(r.icon.c_str(), target.c_str());
    EXPECT_EQ(r.iconIndex, 2);
    EXPECT_EQ(r.hotKey, link.HotKey);
}

TEST_F(ShellLinkTest, MissingFolderFailsAndAThreadWithoutComRaises) {
    ASSERT_TRUE(WriteBytes(target, "MZ"));
    EXPECT_FALSE(CreateShortcutFile((dir / "no\\such\\x.lnk").c_str(), target.c_str(), "", "", 0));
    EXPECT_FALSE(ErrorPending());
    struct Result { bool saved = true; TStr error; } result;
    HANDLE thread = CreateThread(nullptr, 0, [](void* p) -> DWORD {
        auto* r = static_cast<Result*>(p);
        r->saved = CreateShortcutFile("C:\\x.lnk", "C:\\x.exe", "", "", 0);
        r->error = TakeError();
        return 0;
    }, &result, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.error, "Cannot create the shell link object");
}

}  // namespace

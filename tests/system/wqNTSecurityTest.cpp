// The administrator check: the well-known SIDs against the system's own text
// form of them, the group rule on made-up token groups, and this process.
#include "system/wqNTSecurity.h"

#include <gtest/gtest.h>

#include <string>

#include "support/SystemTestSupport.h"

namespace {

// "S-1-5-32-544", by the system's call (loaded at run time, as the module's).
std::string SidText(PSID sid) {
    static auto convert = (BOOL(WINAPI*)(PSID, LPSTR*))(void*)GetProcAddress(LoadLibraryA("advapi32.dll"), "ConvertSidToStringSidA");
    LPSTR text = nullptr;
    if (!sid || !convert(sid, &text)) return "<none>";
    std::string result = text;
    LocalFree(text);
    return result;
}

TEST(WellKnownSids, EveryRowPacksItsSid) {
    const char* const expected[kWellKnownCount][2] = {
        {"Everyone", "S-1-1-0"}, {"Local", "S-1-2-0"}, {"CreatorOwner", "S-1-3-0"}, {"CreatorGroup", "S-1-3-1"},
        {"Dialup", "S-1-5-1"}, {"Network", "S-1-5-2"}, {"Batch", "S-1-5-3"}, {"Interactive", "S-1-5-4"},
        {"Service", "S-1-5-6"}, {"Anonymous", "S-1-5-7"}, {"Logon", "S-1-5-5"}, {"System", "S-1-5-18"},
        {"Admin", "S-1-5-32-500"}, {"Guest", "S-1-5-32-501"}, {"DomainAdmins", "S-1-5-32-512"},
        {"DomainUsers", "S-1-5-32-513"}, {"DomainGuests", "S-1-5-32-514"}, {"Admins", "S-1-5-32-544"},
        {"Users", "S-1-5-32-545"}, {"Guests", "S-1-5-32-546"}, {"PowerUsers", "S-1-5-32-547"},
        {"AccountOps", "S-1-5-32-548"}, {"SystemOps", "S-1-5-32-549"}, {"PrintOps", "S-1-5-32-550"},
        {"BackupOps", "S-1-5-32-551"}, {"Replicator", "S-1-5-32-552"},
    };
    for (int i = 0; i < kWellKnownCount; ++i) {
        PSID sid = SidFromPacked(WellKnownSids[i].PackedSid);
        EXPECT_STREQ(WellKnownSids[i].Name, expected[i][0]);
        EXPECT_EQ(SidText(sid), expected[i][1]) << expected[i][0];
        ReleaseSid(sid);
    }
    EXPECT_EQ(WellKnownSids[17].PackedSid, kAdminsPackedSid);
    const SID_IDENTIFIER_AUTHORITY nt = {{0, 0, 0, 0, 0, 5}};
    const DWORD sub[8] = {21, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(AllocSid(nt, 9, sub), nullptr);
}

// Attributes as a token carries them: an administrator's filtered token has
// the group for deny only.
TEST(GroupsHoldEnabled, OnlyAnEnabledAdministratorsGroupCounts) {
    const DWORD on = SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;
    const struct {
        DWORD sid, attributes;
        bool admin;
    } cases[] = {
        {kAdminsPackedSid, on, true}, {kAdminsPackedSid, SE_GROUP_USE_FOR_DENY_ONLY, false},
        {kAdminsPackedSid, SE_GROUP_USE_FOR_DENY_ONLY | SE_GROUP_ENABLED, false},
        {kAdminsPackedSid, SE_GROUP_MANDATORY, false},  // disabled
        {0x02232005, on, false},                       // Power Users only
    };
    PSID admins = SidFromPacked(kAdminsPackedSid);
    for (const auto& c : cases) {  // the group second, after Everyone
        struct { DWORD count; SID_AND_ATTRIBUTES groups[2]; } token = {2, {{SidFromPacked(1), on}, {SidFromPacked(c.sid), c.attributes}}};
        EXPECT_EQ(GroupsHoldEnabled(*(TOKEN_GROUPS*)&token, admins), c.admin) << std::hex << c.sid << " " << c.attributes;
        for (auto& g : token.groups) ReleaseSid(g.Sid);
    }
    ReleaseSid(admins);
}

TEST(IsAdmin, TrueForWinesUserAndForEveryUserOfWindows98) {
    EXPECT_TRUE(IsAdmin());  // Wine's user is a member, enabled
    OSVersionOverride win98(MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""));
    EXPECT_TRUE(IsAdmin());
}

}  // namespace

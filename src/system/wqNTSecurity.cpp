#include "system/wqNTSecurity.h"

#include <stdlib.h>

#include "system/wqUtils.h"

const TWellKnownRec WellKnownSids[kWellKnownCount] = {
    {0x00000001, "Everyone"},     {0x00000002, "Local"},        {0x00000003, "CreatorOwner"},
    {0x00000103, "CreatorGroup"}, {0x00000105, "Dialup"},       {0x00000205, "Network"},
    {0x00000305, "Batch"},        {0x00000405, "Interactive"},  {0x00000605, "Service"},
    {0x00000705, "Anonymous"},    {0x00000505, "Logon"},        {0x00001205, "System"},
    {0x01F42005, "Admin"},        {0x01F52005, "Guest"},        {0x02002005, "DomainAdmins"},
    {0x02012005, "DomainUsers"},  {0x02022005, "DomainGuests"}, {0x02202005, "Admins"},
    {0x02212005, "Users"},        {0x02222005, "Guests"},       {0x02232005, "PowerUsers"},
    {0x02242005, "AccountOps"},   {0x02252005, "SystemOps"},    {0x02262005, "PrintOps"},
    {0x02272005, "BackupOps"},    {0x02282005, "Replicator"},
};

namespace {

typedef BOOL(WINAPI* TAllocateAndInitializeSid)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
typedef BOOL(WINAPI* TEqualSid)(PSID, PSID);
typedef BOOL(WINAPI* TOpenProcessToken)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* TGetTokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                           PDWORD);
typedef PVOID(WINAPI* TFreeSid)(PSID);

struct TSecurityCalls {
    TAllocateAndInitializeSid AllocateAndInitializeSid;
    TEqualSid EqualSid;
    TOpenProcessToken OpenProcessToken;
    TGetTokenInformation GetTokenInformation;
    TFreeSid FreeSid;
};

template <typename T>
void Bind(HMODULE library, const char* name, T& entry) {
    entry = (T)(void*)GetProcAddress(library, name);
}

// Bound on first use, on the NT family only; entries stay null elsewhere.
// The library stays loaded for the life of the process (the installer links
// advapi32 for its registry work anyway, so it is normally found loaded).
const TSecurityCalls& Calls() {
    static TSecurityCalls calls;
    static bool bound = false;
    if (bound) return calls;
    bound = true;
    TOSKind kind = OSVersion().Kind;
    if (kind != osWinNT && kind != osWin2000) return calls;
    HMODULE library = GetModuleHandleA("advapi32.dll");
    if (!library) library = LoadSystemLibrary("advapi32.dll");
    if (!library) return calls;
    Bind(library, "AllocateAndInitializeSid", calls.AllocateAndInitializeSid);
    Bind(library, "EqualSid", calls.EqualSid);
    Bind(library, "OpenProcessToken", calls.OpenProcessToken);
    Bind(library, "GetTokenInformation", calls.GetTokenInformation);
    Bind(library, "FreeSid", calls.FreeSid);
    return calls;
}

// The token's group list in a buffer of its own (free() it); null when it
// cannot be read.
TOKEN_GROUPS* ReadTokenGroups(HANDLE token, const TSecurityCalls& calls) {
    DWORD size = 0;
    calls.GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    if (size == 0) return nullptr;
    TOKEN_GROUPS* groups = (TOKEN_GROUPS*)malloc(size);
    if (groups && !calls.GetTokenInformation(token, TokenGroups, groups, size, &size)) {
        free(groups);
        groups = nullptr;
    }
    return groups;
}

}  // namespace

PSID AllocSid(const SID_IDENTIFIER_AUTHORITY& authority, BYTE count,
              const DWORD subAuthorities[8]) {
    const TSecurityCalls& calls = Calls();
    if (!calls.AllocateAndInitializeSid || count < 1 || count > 8) return nullptr;
    SID_IDENTIFIER_AUTHORITY copy = authority;
    const DWORD* s = subAuthorities;
    PSID sid = nullptr;
    if (!calls.AllocateAndInitializeSid(&copy, count, s[0], s[1], s[2], s[3], s[4], s[5], s[6],
                                        s[7], &sid))
        return nullptr;
    return sid;
}

PSID SidFromPacked(DWORD packed) {
    SID_IDENTIFIER_AUTHORITY authority = {{0, 0, 0, 0, 0, (BYTE)(packed & 0xFF)}};
    DWORD sub[8] = {(packed >> 8) & 0xFF, packed >> 16, 0, 0, 0, 0, 0, 0};
    return AllocSid(authority, (BYTE)(sub[1] ? 2 : 1), sub);
}

void ReleaseSid(PSID sid) {
    if (sid && Calls().FreeSid) Calls().FreeSid(sid);
}

bool GroupsHoldEnabled(const TOKEN_GROUPS& groups, PSID sid) {
    TEqualSid equal = Calls().EqualSid;
    if (!equal || !sid) return false;
    for (DWORD i = 0; i < groups.GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups.Groups[i];
        if (!equal(group.Sid, sid)) continue;
        // CheckTokenMembership's rule: a SID counts only when enabled, and a
        // deny-only group never is.
        return (group.Attributes & SE_GROUP_ENABLED) &&
               !(group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
    }
    return false;
}

bool IsAdmin() {
    TOSKind kind = OSVersion().Kind;
    if (kind == osWin95 || kind == osWin98) return true;
    const TSecurityCalls& calls = Calls();
    if (!calls.OpenProcessToken || !calls.GetTokenInformation) return false;
    HANDLE token;
    if (!calls.OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token)) return false;
    bool admin = false;
    TOKEN_GROUPS* groups = ReadTokenGroups(token, calls);
    PSID admins = SidFromPacked(kAdminsPackedSid);
    if (groups) admin = GroupsHoldEnabled(*groups, admins);
    ReleaseSid(admins);
    free(groups);
    CloseHandle(token);
    return admin;
}

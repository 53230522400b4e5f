// wqNTSecurity: is the user an administrator? The setup driver asks when its
// configuration says the installation needs administrator rights.
//
// On Windows 95/98 every user counts as an administrator. On the NT family
// the groups of the process's access token are compared with the built-in
// Administrators group. The security calls are taken from advapi32 by name
// at run time, so the program still starts where advapi32.dll lacks them
// (Windows 95/98); there every SID operation here answers "none".
#ifndef TARV_SYSTEM_WQNTSECURITY_H
#define TARV_SYSTEM_WQNTSECURITY_H

#include <windows.h>

// A packed security identifier: a SID with at most two sub-authorities in
// 32 bits. Bits 0-7 the identifier authority (the last of its six bytes, the
// others 0), bits 8-15 the first sub-authority (always present, 0 counts),
// bits 16-31 the second, 0 meaning there is none. 0x02202005 is
// S-1-5-32-544, the Administrators group.
struct TWellKnownRec {
    DWORD PackedSid;
    const char* Name;
};
const int kWellKnownCount = 26;
// Everyone, Local, CreatorOwner ... Replicator, in that order.
extern const TWellKnownRec WellKnownSids[kWellKnownCount];
// The row Admins of the table: the group IsAdmin looks for.
const DWORD kAdminsPackedSid = 0x02202005;

// A new SID from AllocateAndInitializeSid with `count` (1 to 8) of the eight
// sub-authorities; null where the call is missing or fails, or the count is
// out of range. Release it with ReleaseSid.
PSID AllocSid(const SID_IDENTIFIER_AUTHORITY& authority, BYTE count, const DWORD subAuthorities[8]);
// A new SID for a packed value (see above); null as for AllocSid.
PSID SidFromPacked(DWORD packed);
// FreeSid for the SIDs made here; null is allowed.
void ReleaseSid(PSID sid);

// True on Windows 95/98. On the NT family: true when the process's token
// holds the Administrators group enabled; false when it does not, or when
// any call fails (nothing is shown).
bool IsAdmin();
// The rule IsAdmin applies to the token's groups: some group equals `sid`
// and is enabled. A group present for deny only (as in the filtered token of
// an administrator whose rights are not raised) does not count: the rights
// it names would be refused part-way through the installation. False where
// the comparison call is missing.
bool GroupsHoldEnabled(const TOKEN_GROUPS& groups, PSID sid);

#endif

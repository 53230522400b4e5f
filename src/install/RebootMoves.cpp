#include "install/RebootMoves.h"

#include <windows.h>

#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"

bool ReplaceAtReboot(const TStr& source, const TStr& target) {
    TOSKind kind = OSVersion().Kind;
    if (kind == osWinNT || kind == osWin2000) {
        MoveFileExA(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
        return true;
    }
    // Windows 95/98 work through [Rename] of wininit.ini before they start:
    // NUL=target deletes the old file, target=source moves the new one in.
    TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    return ProfileWriteString(wininit, "Rename", "NUL", target) &&
           ProfileWriteString(wininit, "Rename", target, source);
}

// ---- Deleting at the next restart ----

static bool IsNTFamily() {
    TOSKind kind = OSVersion().Kind;
    return kind == osWinNT || kind == osWin2000;
}

// The 8.3 form of an existing path; the path itself when there is none.
static TStr ShortPath(const TStr& path) {
    char buffer[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return length && length < MAX_PATH ? TStr(buffer, length) : path;
}

// Offset just after the line end of the line starting at `at` (the text's
// length for the last line); lines end at CR, LF or CR LF.
static size_t NextLine(const TStr& text, size_t at) {
    while (at < text.length() && text[at] != '\r' && text[at] != '\n') ++at;
    if (at < text.length() && text[at] == '\r') ++at;
    if (at < text.length() && text[at] == '\n') ++at;
    return at;
}

// A header line "[name]" (blanks around it allowed) naming `section`.
static bool IsHeader(const TStr& line, const TStr* section) {
    size_t first = 0;
    while (first < line.length() && (line[first] == ' ' || line[first] == '\t')) ++first;
    if (first >= line.length() || line[first] != '[') return false;
    long close = line.find(']', first);
    return close > 0 && (!section || SameText(line.substr(first + 1, (size_t)close - first - 1), *section));
}

static bool IsBlank(const TStr& line) {
    for (size_t i = 0; i < line.length(); ++i)
        if ((unsigned char)line[i] > ' ') return false;
    return true;
}

struct TAppendedLine {
    TStr Section, Line;
};

// Adds the line after the last non-blank line of the first [Section], or a
// new section with it at the end of the text.
static bool AppendSectionLine(void* context, TStr& text) {
    const TAppendedLine& add = *(const TAppendedLine*)context;
    long insertAt = -1;
    for (size_t at = 0; at < text.length();) {
        size_t next = NextLine(text, at);
        TStr line = text.substr(at, next - at);
        if (insertAt >= 0 && IsHeader(line, nullptr)) break;
        if (insertAt < 0 ? IsHeader(line, &add.Section) : !IsBlank(line)) insertAt = (long)next;
        at = next;
    }
    TStr addition = add.Line + "\r\n";
    if (insertAt < 0) {
        addition = "[" + add.Section + "]\r\n" + addition;
        insertAt = (long)text.length();
    }
    char before = insertAt > 0 ? text[(size_t)insertAt - 1] : '\n';
    if (before != '\n' && before != '\r') addition = "\r\n" + addition;
    text.insert((size_t)insertAt, addition.c_str(), addition.length());
    return true;
}

bool DeleteAtReboot(const TStr& path) {
    if (IsNTFamily()) return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    if (IsDirectory(path)) return false;
    TAppendedLine add = {"Rename", "NUL=" + ShortPath(path)};
    TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    return EditFileText(wininit, true, AppendSectionLine, &add) == feWritten;
}

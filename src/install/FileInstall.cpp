#include "install/FileInstall.h"

#include "archive/Extraction.h"
#include "archive/Unrar.h"
#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "config/wqStrUtils.h"
#include "install/Log.h"
#include "install/Progress.h"
#include "install/RebootMoves.h"
#include "install/Script.h"
#include "system/wqFileFind.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils2.h"
#include "text/Common.h"

namespace {

// The localised texts of the pass, read once before it starts.
struct TPassTexts {
    TStr CancelQuestion, Unpacking, Skipping, Copying, NewerCaption, NewerQuestion;
};
TPassTexts texts;

bool LoadPassTexts() {
    return GetString(1, texts.CancelQuestion) && GetString(100, texts.Unpacking) &&
           GetString(101, texts.Skipping) && GetString(102, texts.Copying) &&
           GetString(110, texts.NewerCaption) && GetString(111, texts.NewerQuestion);
}

// One file on its way: an archive entry (the open archive's current one) or
// a file on disk.
struct TSourceFile {
    TStr Name;  // stored name or local path
    bool Local;
    unsigned long long Size;
    DWORD DosTime;
    TArchiveHandle Archive;
};

// The archive's progress calls carry no context: the counters are global.
void ArchiveProgress(const char*, int bytes, int) {
    if (bytes > 0) AddProgress((unsigned long long)bytes);
}

bool CopyProgress(void*, const TStr&, const TStr&, DWORD blockBytes, DWORD) {
    AddProgress(blockBytes);
    return true;
}

// The Cancel question, when Cancel was pressed: true when the user confirmed.
bool CancelConfirmed() {
    TProgressState& p = Progress();
    if (!p.CancelRequested) return false;
    if (AskFromProgress(RunState().ProgramName, texts.CancelQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        InterlockedExchange(&p.Cancelled, 1);
        return true;
    }
    InterlockedExchange(&p.CancelRequested, 0);
    return false;
}

// Destination of a selected file: a wildcard item keeps the stored name's
// path below the item's folder.
TStr DestinationFor(const TStr& itemName, const TStr& target, const TStr& name) {
    if (!HasWildcards(itemName)) return target;
    return FolderPart(target) + name.substr(FolderPartLength(itemName));
}

bool Exists(const TStr& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A new file's place beside its destination: "Tar<hex>.tmp", made by the
// system so that no other file is ever overwritten; empty when none can be
// made there (no folder, no right to create files in it).
TStr TemporaryBeside(const TStr& destination) {
    char name[MAX_PATH];
    return GetTempFileNameA(FolderPart(destination).c_str(), "Tarv", 0, name) ? TStr(name) : TStr();
}

// Puts the complete new file in the destination's place: renamed over it
// now, or, when the old one is in use, at the next restart (`replaced`).
// rmScheduled for either; rmRefused when neither works.
TRebootMove MoveIntoPlace(const TStr& temporary, const TStr& destination, bool& replaced) {
    replaced = false;
    if (Exists(destination)) SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExA(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING)) return rmScheduled;
    if (IsDirectory(destination)) return rmRefused;
    replaced = true;
    return ReplaceAtReboot(temporary, destination);
}

// Extracts or copies to `to`.
bool PutFile(const TSourceFile& source, const TStr& to) {
    if (source.Local) return CopyFileWithTimes(source.Name, to, CopyProgress, nullptr);
    return ProcessFile(source.Archive, 1, TStr(), ArchiveProgress, to);
}

// What became of an installed file: queued for registration, logged.
bool RecordInstalled(const TStr& destination, long flags, bool replaced) {
    TRunState& run = RunState();
    bool notLogged = (flags & cfNotLogged) != 0;
    if (!notLogged && !LogEntry(lsCopyFiles, destination, TStr())) return false;
    if (flags & cfRegisterServer)
        run.ServerList.Add(destination + (replaced ? "=0," : "=1,") + (notLogged ? "0" : "1"));
    if (flags & cfRegisterFont) run.FontList.Add(destination + "=");
    return true;
}

// Installs a selected file; false only when an error was raised. A file
// that cannot be installed is reported here.
//
// The new file is written beside the destination first and renamed over it
// once complete: at every moment the destination holds the old file or the
// whole new one, so an installation killed half-way leaves no file cut short
// or missing where a log names it.
bool PutSelectedFile(const TSourceFile& source, const TStr& destination, long flags) {
    if (!(flags & cfNotLogged)) {
        if (!ForceFolderPath(FolderPart(destination))) return false;
    } else if (!source.Local) {
        CreatePath(FolderPart(destination));  // extraction makes the folders of its path itself
    }
    TStr temporary = TemporaryBeside(destination);
    bool replaced = false;
    bool ok = !temporary.empty() && PutFile(source, temporary);
    if (ok) {
        TRebootMove move = MoveIntoPlace(temporary, destination, replaced);
        if (move == rmRaised) return false;
        ok = move == rmScheduled;
        if (ok && replaced) RunState().RebootNeeded = true;
    }
    if (!ok) {
        if (!temporary.empty()) ForceDeleteFile(temporary);
        if (!Progress().Cancelled) ErrorFromProgress("Cannot install file " + (replaced ? temporary : destination));
        return true;
    }
    return RecordInstalled(destination, flags, replaced);
}

// One file of either pass; false only when an error was raised.
bool InstallOneFile(const TSourceFile& source) {
    if (CancelConfirmed()) return true;
    TRunState& run = RunState();
    const TStrList& list = source.Local ? run.LocalFileList : run.ArchiveFileList;
    StartFileProgress(source.Size);
    unsigned long long doneBefore = Progress().DoneBytes;
    int index = FindFileEntry(list, source.Name);
    bool selected = index >= 0, skip = !selected;
    long flags = 0;
    TStr destination;
    if (selected) {
        TStr value = ValuePart(list[index]);
        flags = ScriptNumber(value, 3);
        destination = DestinationFor(NamePart(list[index]), ScriptField(value, 1), source.Name);
        if (!(flags & cfNoVersionTest) &&
            IsInstalledFileNewer(ScriptField(value, 2), destination, source.DosTime)) {
            skip = (flags & cfKeepNewer) ||
                   AskFromProgress(texts.NewerCaption, InsertName(texts.NewerQuestion, FileNamePart(destination)),
                                   MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES;
        }
        if (!skip && (flags & cfNeverReplace) && Exists(destination)) skip = true;
    }
    const TStr& status = skip ? texts.Skipping : source.Local ? texts.Copying : texts.Unpacking;
    SetProgressStatus(InsertName(status, FileNamePart(destination)));
    bool result = true;
    if (skip) {
        if (!source.Local && !ProcessFile(source.Archive, 0, TStr(), selected ? ArchiveProgress : nullptr, TStr()) &&
            !Progress().Cancelled)
            ErrorFromProgress("Cannot install file " + destination);
    } else {
        result = PutSelectedFile(source, destination, flags);
    }
    // Stored data and skipped files report no progress of their own.
    if (selected) {
        Progress().FileDoneBytes = source.Size;
        Progress().DoneBytes = doneBefore + source.Size;
        UpdateProgressBars();
    }
    return result;
}

bool InstallLocalFile(void*, const TStr& path) {
    if (!FileExists(path)) return true;
    TSourceFile source = {path, true, FileSize64(path), FileDosTime(path), nullptr};
    return InstallOneFile(source);
}

bool AddLocalSize(void* total, const TStr& path) {
    if (FileExists(path)) *static_cast<unsigned long long*>(total) += FileSize64(path);
    return true;
}

}  // namespace

unsigned long long FileSize64(const TStr& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return (unsigned long long)found.nFileSizeHigh << 32 | found.nFileSizeLow;
}

bool WalkLocalPattern(const TStr& pattern, TLocalFileVisitor visitor, void* context) {
    if (Progress().Cancelled) return false;
    if (!HasWildcards(pattern)) return visitor(context, pattern);
    TStr folder = FolderPart(pattern), mask = FileNamePart(pattern);
    TSearchRecEx rec;
    bool go = true;
    for (int r = FindFirstEx(pattern, 0, faDirectory | faVolumeID, rec); r == 0 && go; r = FindNextEx(rec))
        go = visitor(context, folder + rec.Name) && !Progress().Cancelled;
    FindCloseEx(rec);
    for (int r = FindFirstEx(pattern, faDirectory, 0, rec); r == 0 && go; r = FindNextEx(rec))
        go = WalkLocalPattern(folder + rec.Name + "\\" + mask, visitor, context);
    FindCloseEx(rec);
    return go;
}

unsigned long long LocalFilesSize() {
    unsigned long long total = 0;
    const TStrList& list = RunState().LocalFileList;
    for (int i = 0; i < list.Count() && !Progress().Cancelled; ++i)
        WalkLocalPattern(NamePart(list[i]), AddLocalSize, &total);
    return total;
}

bool InstallArchiveFiles() {
    Progress().DoneBytes = 0;
    TArchiveHandle archive = OpenArchive(RunState().ExeName, 1);
    if (!archive) {
        ErrorFromProgress(kArchiveOpenError);
        return false;
    }
    bool ok = true;
    TRARHeader header;
    int walk;
    while (ok && (walk = ReadFileHeaderResult(archive, header)) == rarSuccess && !Progress().Cancelled) {
        TSourceFile source = {header.FileName, false, UnpSize64(header), header.FileTime, archive};
        ok = InstallOneFile(source);
    }
    CloseArchive(archive);
    // A walk that ends on damage is no complete installation.
    if (ok && walk == rarBadData && !Progress().Cancelled) {
        ErrorFromProgress(kDamagedSetupMessage);
        return false;
    }
    return ok && !Progress().Cancelled;
}

bool InstallLocalFiles() {
    const TStrList& list = RunState().LocalFileList;
    for (int i = 0; i < list.Count(); ++i) {
        if (Progress().Cancelled) return false;
        if (!WalkLocalPattern(NamePart(list[i]), InstallLocalFile, nullptr) &&
            (ErrorPending() || Progress().Cancelled))
            return false;
    }
    return !Progress().Cancelled;
}

bool InstallFiles() {
    return LoadPassTexts() && InstallArchiveFiles() && InstallLocalFiles();
}

// Unrar: the reader core on Win32 files, and the output files it writes.
#include "archive/Unrar.h"

#include <new>
#include <stdlib.h>

#include "archive/RarReader.h"
#include "system/wqFileUtils.h"

using namespace rar;

// The entry results are the reader core's own codes.
static_assert((int)rarBadData == kExtractBadData && (int)rarUnsafeName == kExtractUnsafeName &&
                  (int)rarEncrypted == kExtractEncrypted &&
                  (int)rarUnsupportedVersion == kExtractUnsupportedVersion &&
                  (int)rarUnsupportedMethod == kExtractUnsupportedMethod &&
                  (int)rarUnsupportedDictionary == kExtractUnsupportedDictionary,
              "Unrar's result codes follow the reader's");

const char kDamagedSetupMessage[] =
    "The setup file is damaged or incomplete. Please download it again.";

// The one open archive (and, apart, the file VerifyArchive reads).
struct TArchiveState {
    HANDLE file;       // the open volume
    int mode;          // 0 listing only, 1 extraction allowed
    RarReader* reader; // with the decoder and its window; null while closed
    FileHeader entry;  // the last reported entry
    bool damaged;      // the walk found the archive damaged
    HANDLE out;        // the output file during an extraction
    ProgressCallback callback;
};

namespace {

TArchiveState g_archive = {};

size_t ReadVolume(void* ctx, uint64_t offset, uint8_t* buf, size_t size) {
    TArchiveState* a = static_cast<TArchiveState*>(ctx);
    LONG high = (LONG)(offset >> 32);
    if (SetFilePointer(a->file, (LONG)(DWORD)offset, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return 0;
    DWORD got = 0;
    if (!ReadFile(a->file, buf, (DWORD)size, &got, nullptr)) return 0;
    return got;
}

bool OpenNextVolume(void* ctx, const char* path) {
    TArchiveState* a = static_cast<TArchiveState*>(ctx);
    HANDLE h = OpenFileHandle(path, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                              OPEN_EXISTING);
    if (!IsValidHandle(h)) return false;
    CloseFileHandle(a->file);
    a->file = h;
    return true;
}

size_t WriteOutput(void* ctx, const uint8_t* data, size_t size) {
    TArchiveState* a = static_cast<TArchiveState*>(ctx);
    DWORD put = 0;
    if (!WriteFile(a->out, data, (DWORD)size, &put, nullptr)) return 0;
    return put;
}

void ReportProgress(void* ctx, const char* name, uint32_t bytes, bool extracting) {
    TArchiveState* a = static_cast<TArchiveState*>(ctx);
    if (a->callback) a->callback(name, (int)bytes, extracting ? 1 : 0);
}

// Opens `path` into `state` with a reader (allocated here rather than with
// new, whose failure would end the process) and locates its archive.
// rarSuccess, or rarOpenError with nothing left open.
int OpenState(TArchiveState& state, const TStr& path, bool window) {
    state.file = OpenFileHandle(path, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                                OPEN_EXISTING);
    if (!IsValidHandle(state.file)) return rarOpenError;
    void* memory = malloc(sizeof(RarReader));
    state.reader = memory ? new (memory) RarReader : nullptr;
    state.damaged = false;
    VolumeIo io = {&state, ReadVolume, OpenNextVolume};
    if (!state.reader || (window && !state.reader->AllocateWindow()) ||
        state.reader->Open(io, path.c_str()) != kOpenOk) {
        CloseArchive(&state);
        CloseFileHandle(state.file);
        return rarOpenError;
    }
    return rarSuccess;
}

// The folder part of an output path, up to its last "\" or "/".
TStr FolderOf(const TStr& path) {
    long backslash = path.rfind('\\');
    long slash = path.rfind('/');
    return path.substr(0, (size_t)((backslash > slash ? backslash : slash) + 1));
}

// The attributes to give an extracted file. Unix archivers store the mode
// bits there, which mean nothing to Windows: such files become archive files,
// read-only when the owner could not write them.
DWORD AttributesFor(const FileHeader& h) {
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE;
    DWORD attr = h.hostOs == 3 ? FILE_ATTRIBUTE_ARCHIVE | ((h.attributes & 0x80) ? 0 : FILE_ATTRIBUTE_READONLY)
                               : h.attributes & settable;
    return attr ? attr : FILE_ATTRIBUTE_NORMAL;
}

// The entry's MS-DOS time, taken as local time, as the last-write time.
void SetLastWriteFromDos(HANDLE file, DWORD dosTime) {
    FILETIME local, utc;
    if (DosDateTimeToFileTime(HIWORD(dosTime), LOWORD(dosTime), &local) &&
        LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(file, nullptr, nullptr, &utc);
}

void FillHeader(const FileHeader& h, TRARHeader& header) {
    header.FileName = h.name;
    header.Flags = h.block.flags;
    header.PackSize = (DWORD)h.packSize;
    header.PackSizeHigh = (DWORD)(h.packSize >> 32);
    header.UnpSize = (DWORD)h.unpSize;
    header.UnpSizeHigh = (DWORD)(h.unpSize >> 32);
    header.HostOS = h.hostOs;
    header.FileCRC = h.fileCrc;
    header.FileTime = h.dosTime;
    header.UnpVer = h.unpVer;
    header.Method = h.method;
    header.FileAttr = h.attributes;
}

}  // namespace

int VerifyArchive(const TStr& path) {
    TArchiveState state = {};
    if (OpenState(state, path, false) != rarSuccess) return rarOpenError;
    IntegrityStatus status = state.reader->VerifyIntegrity();
    CloseArchive(&state);
    return status == kIntegrityDamaged ? rarBadData : rarSuccess;
}

TArchiveHandle OpenArchive(const TStr& path, int mode) {
    if (g_archive.reader || OpenState(g_archive, path, true) != rarSuccess) return nullptr;
    g_archive.mode = mode;
    return &g_archive;
}

void CloseArchive(TArchiveHandle archive) {
    if (!archive || !archive->reader) return;
    archive->reader->~RarReader();
    free(archive->reader);
    archive->reader = nullptr;
    CloseFileHandle(archive->file);
}

int ReadFileHeaderResult(TArchiveHandle archive, TRARHeader& header) {
    if (!archive || !archive->reader) return rarOpenError;
    RarReader& reader = *archive->reader;
    FileHeader& h = archive->entry;
    for (;;) {
        WalkStatus walk = reader.NextEntry(&h);
        if (walk != kWalkEntry) {
            archive->damaged = walk == kWalkDamaged;
            return archive->damaged ? rarBadData : rarEndArchive;
        }
        // Folders are made along the paths of the files in them; a damaged
        // header may be a file's whose flags were hit, so it is reported.
        if (!IsDirectory(h.block.flags) || !reader.HeaderCrcMatched()) break;
        reader.ProcessFile(kProcessList, EntrySink());
    }
    FillHeader(h, header);
    return rarSuccess;
}

int ProcessFileResult(TArchiveHandle archive, int operation, const TStr& destFolder,
                      ProgressCallback callback, const TStr& destName) {
    if (!archive || !archive->reader) return rarBadData;
    RarReader& reader = *archive->reader;
    archive->callback = callback;
    EntrySink sink = {archive, WriteOutput, ReportProgress};
    if (archive->mode == 0) return reader.ProcessFile(kProcessList, sink);
    if (operation != 1) return reader.ProcessFile(kProcessSkip, sink);

    int refused = reader.CheckEntry();
    if (refused != rarSuccess) {
        // Decoded all the same in a solid archive, so the entries after it
        // keep their decoder state.
        reader.ProcessFile(kProcessSkip, sink);
        return refused;
    }
    const FileHeader& h = archive->entry;
    TStr path = destName.empty() ? AddBackslash(destFolder) + h.name : destName;
    CreatePath(FolderOf(path));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE out = OpenFileHandle(path, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, CREATE_ALWAYS);
    if (!IsValidHandle(out)) {
        reader.ProcessFile(kProcessSkip, sink);
        return rarCreateError;
    }
    archive->out = out;
    int result = reader.ProcessFile(kProcessExtract, sink);
    FlushFileBuffers(out);
    SetLastWriteFromDos(out, h.dosTime);
    CloseFileHandle(out);
    archive->out = nullptr;
    SetFileAttributesA(path.c_str(), AttributesFor(h));
    if (result != rarSuccess) ForceDeleteFile(path);
    return result;
}

TStr ResultText(TArchiveHandle archive, int result) {
    switch (result) {
    case rarCreateError: return "cannot create the file";
    case rarEndArchive: return "end of archive";
    case rarOpenError: return "cannot open the archive";
    default: break;
    }
    if (result == rarBadData && archive && archive->damaged) return "damaged archive";
    return archive ? rar::ResultText(result, archive->entry) : TStr("error");
}

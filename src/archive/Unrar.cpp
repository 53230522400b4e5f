// Unrar: the reader core on Win32 files, and the output files it writes.
#include "archive/Unrar.h"

#include <new>
#include <stdlib.h>

#include "archive/RarReader.h"
#include "system/wqFileUtils.h"

using namespace rar;

// The one open archive.
struct TArchiveState {
    HANDLE file;       // the open volume
    int mode;          // 0 listing only, 1 extraction allowed
    RarReader* reader; // with the decoder and its window; null while closed
    FileHeader entry;  // the last reported entry
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

// Creates every folder along the path (each prefix that ends before a "\" or
// "/"); existing folders and prefixes such as "C:" simply fail.
void CreateFoldersAlong(const TStr& path) {
    for (size_t i = 1; i < path.length(); ++i)
        if (path[i] == '\\' || path[i] == '/') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
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

}  // namespace

TArchiveHandle OpenArchive(const TStr& path, int mode) {
    if (g_archive.reader) return nullptr;
    HANDLE file = OpenFileHandle(path, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                                 OPEN_EXISTING);
    if (!IsValidHandle(file)) return nullptr;
    // Allocated here rather than with new, whose failure would end the
    // process: a missing megabyte only makes the open fail.
    void* memory = malloc(sizeof(RarReader));
    if (!memory) {
        CloseFileHandle(file);
        return nullptr;
    }
    g_archive.file = file;
    g_archive.mode = mode;
    g_archive.reader = new (memory) RarReader;
    VolumeIo io = {&g_archive, ReadVolume, OpenNextVolume};
    if (!g_archive.reader->AllocateWindow() ||
        g_archive.reader->Open(io, path.c_str()) != kOpenOk) {
        CloseArchive(&g_archive);
        return nullptr;
    }
    return &g_archive;
}

void CloseArchive(TArchiveHandle archive) {
    if (!archive || !archive->reader) return;
    archive->reader->~RarReader();
    free(archive->reader);
    archive->reader = nullptr;
    CloseFileHandle(archive->file);
}

bool ReadFileHeader(TArchiveHandle archive, TRARHeader& header) {
    if (!archive || !archive->reader) return false;
    FileHeader& h = archive->entry;
    if (!archive->reader->ReadFileHeader(&h)) return false;
    header.FileName = h.name;
    header.Flags = h.block.flags;
    header.PackSize = (DWORD)h.packSize;
    header.UnpSize = (DWORD)h.unpSize;
    header.HostOS = h.hostOs;
    header.FileCRC = h.fileCrc;
    header.FileTime = h.dosTime;
    header.UnpVer = h.unpVer;
    header.Method = h.method;
    header.FileAttr = h.attributes;
    return true;
}

int ProcessFileResult(TArchiveHandle archive, int operation, const TStr& destFolder,
                      ProgressCallback callback, const TStr& destName) {
    if (!archive || !archive->reader) return rarBadCrc;
    RarReader& reader = *archive->reader;
    archive->callback = callback;
    EntrySink sink = {archive, WriteOutput, ReportProgress};
    if (archive->mode == 0) return reader.ProcessFile(kProcessList, sink);
    if (operation != 1) return reader.ProcessFile(kProcessSkip, sink);

    const FileHeader& h = archive->entry;
    TStr path = destName.empty() ? AddBackslash(destFolder) + h.name : destName;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (IsSafeName(h.name)) {
        CreateFoldersAlong(path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        out = OpenFileHandle(path, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, CREATE_ALWAYS);
    }
    if (!IsValidHandle(out)) {
        // Decoded all the same in a solid archive, so the entries after it
        // keep their decoder state.
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

// Extraction: entry selection by masks and lists, size count, folder paths.
#include "archive/Extraction.h"

#include <windows.h>

#include "archive/Unrar.h"
#include "config/wqStrUtils.h"
#include "install/Log.h"
#include "setup/RunState.h"
#include "system/wqFileUtils.h"
#include "ui/Msg.h"

namespace {

// Length of the folder part of a name: up to and including the last "\" or
// ":" (0 when there is none).
size_t FolderLength(const TStr& name) {
    long backslash = name.rfind('\\');
    long colon = name.rfind(':');
    return (size_t)((backslash > colon ? backslash : colon) + 1);
}

}  // namespace

bool HasWildcards(const TStr& text) { return text.find('*') >= 0 || text.find('?') >= 0; }

int FindFileEntry(const TStrList& list, const TStr& storedName) {
    size_t storedFolder = FolderLength(storedName);
    TStr storedLast = storedName.substr(storedFolder);
    for (int i = 0; i < list.Count(); ++i) {
        TStr item = NamePart(list[i]);
        size_t folder = FolderLength(item);
        TStr last = item.substr(folder);
        if (HasWildcards(last)) {
            // A prefix test on the folders: the item's folder, compared with
            // as many leading characters of the stored name's folder.
            if (folder <= storedFolder && MaskMatch(storedLast, last, true) &&
                SameText(item.substr(0, folder), storedName.substr(0, folder)))
                return i;
        } else if (SameText(item, storedName)) {
            return i;
        }
    }
    return -1;
}

unsigned long long ArchiveFilesSize(const TStr& mask, const TStrList* list, bool stopAtMismatch) {
    TArchiveHandle archive = OpenArchive(RunState().ExeName, 0);
    if (!archive) {
        ErrorBox("Archive open error!");
        return 0;
    }
    unsigned long long total = 0;
    TRARHeader header;
    while (ReadFileHeader(archive, header)) {
        if (MaskMatch(header.FileName, mask, true)) {
            if (!list || FindFileEntry(*list, header.FileName) >= 0) total += header.UnpSize;
        } else if (stopAtMismatch) {
            break;
        }
        if (!ProcessFile(archive, 0, TStr(), nullptr, TStr())) {
            ErrorBox("File extracting error!");
            break;
        }
    }
    CloseArchive(archive);
    return total;
}

void ForceFolderPath(const TStr& path) {
    if (path.empty()) return;
    TStr folder = path.last() == '\\' ? path.substr(0, path.length() - 1) : path;
    if (folder.length() <= 2 || IsDirectory(folder)) return;
    TStr parent = folder.substr(0, (size_t)(folder.rfind('\\') + 1));
    if (parent == folder) return;  // a path ending in two backslashes is its own parent
    ForceFolderPath(parent);
    if (CreateDirectoryA(folder.c_str(), nullptr)) LogCreateDir(folder);
}

void SetListValue(TStrList& list, const TStr& name, const TStr& value) {
    for (int i = list.Count() - 1; i >= 0; --i)
        if (SameText(NamePart(list[i]), name)) list.Delete(i);
    list.Add(name + "=" + value);
}

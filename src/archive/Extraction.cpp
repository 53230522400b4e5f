// Extraction: entry selection by masks and lists, size count, folder paths.
#include "archive/Extraction.h"

#include <windows.h>

#include "archive/Unrar.h"
#include "config/RunState.h"
#include "config/wqPath.h"
#include "config/wqStrUtils.h"

const char kArchiveOpenError[] = "Archive open error!";
const char kFileExtractingError[] = "File extracting error!";

bool HasWildcards(const TStr& text) { return text.find('*') >= 0 || text.find('?') >= 0; }

int FindFileEntry(const TStrList& list, const TStr& storedName) {
    size_t storedFolder = FolderPartLength(storedName);
    TStr storedLast = storedName.substr(storedFolder);
    for (int i = 0; i < list.Count(); ++i) {
        TStr item = NamePart(list[i]);
        size_t folder = FolderPartLength(item);
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

TArchiveCount ArchiveFilesSize(const TStr& mask, const TStrList* list, bool stopAtMismatch) {
    TArchiveCount count = {csOpenFailed, 0};
    TArchiveHandle archive = OpenArchive(RunState().ExeName, 0);
    if (!archive) return count;
    count.Status = csCounted;
    TRARHeader header;
    int walk;
    while ((walk = ReadFileHeaderResult(archive, header)) == rarSuccess) {
        if (MaskMatch(header.FileName, mask, true)) {
            if (!list || FindFileEntry(*list, header.FileName) >= 0) count.Total += UnpSize64(header);
        } else if (stopAtMismatch) {
            break;
        }
        if (!ProcessFile(archive, 0, TStr(), nullptr, TStr())) {
            count.Status = csEntryFailed;
            break;
        }
    }
    if (walk == rarBadData) count.Status = csDamaged;
    CloseArchive(archive);
    return count;
}

void SetListValue(TStrList& list, const TStr& name, const TStr& value) {
    for (int i = list.Count() - 1; i >= 0; --i)
        if (SameText(NamePart(list[i]), name)) list.Delete(i);
    list.Add(name + "=" + value);
}

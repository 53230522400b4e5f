// SizeProbe: links every module of the installer, the way the finished setup
// driver will, so that the size report shows what the shipped program will
// weigh before the driver calls everything. It is never run: the addresses
// below only keep each module's entry points (and all they call) in the link.
#include <windows.h>

#include "archive/Extraction.h"
#include "archive/Unrar.h"
#include "config/wqRegIni.h"
#include "install/Log.h"
#include "install/RebootMoves.h"
#include "setup/Languages.h"
#include "system/wqFileUtils.h"
#include "system/wqNTSecurity.h"
#include "system/wqShell.h"
#include "system/wqUtils.h"
#include "text/Common.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"
#include "ui/Msg.h"

#define KEEP(f) reinterpret_cast<void*>(&(f))

static void* volatile entryPoints[] = {
    // archive
    KEEP(OpenArchive), KEEP(ReadFileHeader), KEEP(ProcessFileResult), KEEP(CloseArchive),
    KEEP(ArchiveFilesSize), KEEP(FindFileEntry), KEEP(SetListValue),
    // profile, registry, files, shell, system
    KEEP(ProfileReadString), KEEP(ProfileWriteString), KEEP(ProfileFlushAll), KEEP(RegWriteString),
    KEEP(RegEnumSubKeys), KEEP(CopyFileWithTimes), KEEP(DeleteTree), KEEP(CreateUniqueFolder),
    KEEP(FreeDiskSpaceKB), KEEP(RunAndWait), KEEP(BrowseForInstallFolder), KEEP(CentredMessageBox),
    KEEP(ErrorBox), KEEP(WarningBox), KEEP(QuestionBox), KEEP(IsAdmin),
    // text, languages
    reinterpret_cast<void*>(static_cast<bool (*)(HWND)>(&StartPage)),  // GDI has a StartPage too
    KEEP(GetString), KEEP(ReadTextFile), KEEP(BuildLanguageList),
    // install
    KEEP(LogEntry), KEEP(ForceFolderPath), KEEP(ReplaceAtReboot),
    // windows and pages
    KEEP(RegisterMainWindow), KEEP(ParseFontSpec), KEEP(CreateSpecFont), KEEP(RunDialogSequence),
    KEEP(PaintPageHeader), KEEP(LoadPageBitmap), KEEP(ShowMessageWindow), KEEP(HideMessageWindow),
    KEEP(DestroyMessageWindow),
};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int kept = 0;
    for (void* p : entryPoints) kept += p != nullptr;
    return kept;
}

// BenchInstall <setup.exe> <target folder> <log file> [nopage]: the install run's
// file pass as the installer runs it (a worker thread behind a progress page
// on the main thread, every file logged), over every Data\ entry of the
// setup program, into the target folder. Prints the files, bytes and
// seconds of the pass. With "nopage" the pass runs without the page (what
// the page's messages cost). A figure for the benchmark script, not a test.
#include <windows.h>

#include <stdio.h>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "install/FileInstall.h"
#include "install/Log.h"
#include "install/Progress.h"

static volatile LONG passOk = 0;

static DWORD WINAPI Worker(void*) {
    passOk = InstallFiles() ? 1 : 0;
    return 0;
}

// The progress page's part in the pass: showing the progress on its timer.
static INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_TIMER) ShowProgress();
    return FALSE;
}

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        fprintf(stderr, "usage: BenchInstall <setup.exe> <target folder> <log file> [nopage]\n");
        return 2;
    }
    TRunState& run = RunState();
    run.ExeName = argv[1];
    run.Instance = GetModuleHandleA(nullptr);
    run.ArchiveFileList.Add(TStr("Data\\*=") + argv[2] + "\\*,,2");
    StartLog(argv[3]);
    HWND page = argc == 5 ? nullptr : CreateDialogParamA(run.Instance, "DLG_PROGRESS", nullptr, PageProc, 0);
    ResetProgress(page);
    if (page) SetTimer(page, kProgressTimer, kProgressInterval, nullptr);
    Progress().TotalBytes = ~0ull >> 1;  // the bars move; their end does not matter here
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    HANDLE worker = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    QueryPerformanceCounter(&end);
    CloseHandle(worker);
    bool flushed = ProfileFlushAll();
    if (page) DestroyWindow(page);
    double seconds = (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
    printf("file pass: %llu bytes in %.3f s%s\n", Progress().DoneBytes, seconds,
           passOk && flushed ? "" : " (FAILED)");
    if (ErrorPending()) printf("%s\n", TakeError().c_str());
    return passOk && flushed ? 0 : 1;
}

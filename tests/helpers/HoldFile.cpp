// HoldFile: a program that has a file in use, as a running program has its
// DLL, until the session ends.
//
//   HoldFile <file> <record>
//
// Opens the file for reading (others may read it; nobody may replace or
// delete it), makes a hidden top-level window and then writes "held" to the
// record. When the session ends (WM_QUERYENDSESSION, as a restart request
// sends it) it lets the file go, agrees and writes "query"; on WM_ENDSESSION
// it writes "end" and exits. Under Wine ExitWindowsEx starts wineboot, which
// sends these messages and then carries out the pending file renames.
#include <windows.h>

namespace {

HANDLE held = INVALID_HANDLE_VALUE;
const char* record = nullptr;

void Note(const char* line) {
    HANDLE file = CreateFileA(record, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK HolderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        CloseHandle(held);
        Note("query\n");
        return TRUE;
    }
    if (message == WM_ENDSESSION) {
        Note(wParam ? "end\n" : "end refused\n");
        if (wParam) ExitProcess(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    record = argv[2];
    held = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    WNDCLASSA holder = {};
    holder.lpfnWndProc = HolderProc;
    holder.hInstance = GetModuleHandleA(nullptr);
    holder.lpszClassName = "TarvTestHolder";
    if (!RegisterClassA(&holder) ||
        !CreateWindowA(holder.lpszClassName, "HoldFile", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                       holder.hInstance, nullptr))
        return 1;
    Note("held\n");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

// TestRunApp <record file> [<milliseconds>]: appends one line to the record
// file when it starts ("start|<arguments>|<current folder>|<show command>"),
// waits the given time, then appends "end". The program-running tests look
// at the record to see how, where and whether it was started and waited for.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static void Append(const char* file, const char* line) {
    FILE* f = fopen(file, "ab");
    if (!f) return;
    fprintf(f, "%s\n", line);
    fclose(f);
}

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, folder);
    char line[1024];
    snprintf(line, sizeof line, "start|%s|%s|%d", argc > 2 ? argv[2] : "", folder, show);
    Append(argv[1], line);
    if (argc > 2) Sleep((DWORD)strtoul(argv[2], nullptr, 10));
    Append(argv[1], "end");
    return 0;
}

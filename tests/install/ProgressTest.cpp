// The progress page's bars: positions rounded as the free-space check is,
// never failing on an empty total, and sent only when they change.
#include "install/Progress.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <map>
#include <vector>

#include "support/TestPrint.h"

namespace {

TEST(ProgressBars, PercentRoundsHalfToEvenAndEmptyTotalsAreComplete) {
    const struct { unsigned long long done, total; int percent; } cases[] = {
        {0, 0, 100},        {5, 0, 100},     {0, 1000, 0},    {5, 1000, 0},  // 0.5 -> 0
        {15, 1000, 2},      {25, 1000, 2},   {26, 1000, 3},   {999, 1000, 100},
        {1500, 1000, 100},  {3ull << 32, 6ull << 32, 50},  // above 4 GB, no wrap
        {(5ull << 32) + 1, 10ull << 32, 50},
    };
    for (const auto& c : cases) EXPECT_EQ(PercentOf(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

// A page stand-in whose bar children count the positions they receive.
std::map<int, std::vector<int>> positions;
LRESULT CALLBACK BarProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == PBM_SETPOS) positions[GetDlgCtrlID(w)].push_back((int)wp);
    return DefWindowProcA(w, m, wp, lp);
}

// Dispatches what was posted to this thread; the number of messages.
int Pump() {
    MSG msg;
    int n = 0;
    for (; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) DispatchMessageA(&msg);
    return n;
}

TEST(ProgressBars, APositionIsSentOnlyWhenItChanges) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BarProc;
    wc.lpszClassName = "TarvTestBar";
    RegisterClassA(&wc);
    HWND page = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (int id : {107, 109}) CreateWindowA("TarvTestBar", "", WS_CHILD, 0, 0, 1, 1, page, (HMENU)(INT_PTR)id, nullptr, nullptr);
    positions.clear();
    ResetProgress(page);
    Progress().TotalBytes = 4000;
    for (int file = 0; file < 2; ++file) {
        StartFileProgress(2000);
        for (int i = 0; i < 2000; ++i) AddProgress(1);  // 2000 calls, 101 positions of the upper bar
    }
    Pump();
    DestroyWindow(page);
    ResetProgress(nullptr);
    EXPECT_EQ(positions[107].size(), 2u * 101u);
    EXPECT_EQ(positions[107].front(), 0);
    EXPECT_EQ(positions[107].back(), 100);
    EXPECT_EQ(positions[109].size(), 101u);  // 0 .. 100, each once
    EXPECT_EQ(positions[109].back(), 100);
}

// The page's side of the status line, as the progress page handles it.
int statusNotes = 0;
LRESULT CALLBACK PageProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PROGRESS_STATUS) {
        ++statusNotes;
        ShowPendingStatus();
    }
    return DefWindowProcA(w, m, wp, lp);
}

TEST(ProgressBars, StatusTextsWaitingTogetherCostOneNoteAndTheLastIsShown) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PageProc;
    wc.lpszClassName = "TarvTestPage";
    RegisterClassA(&wc);
    HWND page = CreateWindowA("TarvTestPage", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND status = CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 1, 1, page, (HMENU)106, nullptr, nullptr);
    ResetProgress(page);
    statusNotes = 0;
    for (const char* text : {"one", "two", "three"}) SetProgressStatus(text);
    Pump();
    char shown[32] = "";
    GetWindowTextA(status, shown, sizeof shown);
    EXPECT_STREQ(shown, "three");
    EXPECT_EQ(statusNotes, 1);
    SetProgressStatus("four");
    Pump();
    GetWindowTextA(status, shown, sizeof shown);
    EXPECT_STREQ(shown, "four");
    EXPECT_EQ(statusNotes, 2);
    ResetProgress(nullptr);
    DestroyWindow(page);
}

TEST(ProgressBars, NamesGoInAsPlainText) {
    EXPECT_EQ(InsertName("Unpacking %s (%d%%)", "100%s.txt"), "Unpacking 100%s.txt (%d%%)");
    EXPECT_EQ(InsertName("No name here", "a.txt"), "No name here");
    EXPECT_EQ(InsertName("%s", ""), "");
}

}  // namespace

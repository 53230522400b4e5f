// The progress page's bars: positions rounded as the free-space check is,
// never failing on an empty total, and sent only when they change. (Names
// put into texts: the newer-file question of InstallRunTest.)
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

// The worker writes, the page shows on its timer: what changed, only that.
TEST(ProgressBars, ThePageShowsTheLatestStateAndOnlyWhatChanged) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BarProc;
    wc.lpszClassName = "TarvTestBar";
    RegisterClassA(&wc);
    HWND page = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND status = CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 1, 1, page, (HMENU)106, nullptr, nullptr);
    for (int id : {107, 109}) CreateWindowA("TarvTestBar", "", WS_CHILD, 0, 0, 1, 1, page, (HMENU)(INT_PTR)id, nullptr, nullptr);
    positions.clear();
    ResetProgress(page);
    Progress().TotalBytes = 4000;
    char shown[32] = "";
    StartFileProgress(1000);
    AddProgress(500);
    SetProgressStatus("one");
    SetProgressStatus("two");
    ShowProgress();
    GetWindowTextA(status, shown, sizeof shown);
    EXPECT_STREQ(shown, "two");  // the last text that waited
    EXPECT_EQ(positions[107], std::vector<int>{50});
    EXPECT_EQ(positions[109], std::vector<int>{12});  // 12.5 % to the even neighbour
    ShowProgress();  // nothing changed since: nothing sent
    EXPECT_EQ(positions[107].size() + positions[109].size(), 2u);
    StartFileProgress(2000);
    AddProgress(2000);
    ShowProgress();
    EXPECT_EQ(positions[107], (std::vector<int>{50, 100}));
    EXPECT_EQ(positions[109], (std::vector<int>{12, 62}));  // 62.5 % likewise
    GetWindowTextA(status, shown, sizeof shown);
    EXPECT_STREQ(shown, "two");
    ResetProgress(nullptr);
    DestroyWindow(page);
}

}  // namespace

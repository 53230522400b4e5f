// Message boxes: captions, buttons and answers, and their place on the
// screen whatever window owns them and whichever thread shows them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/TextTestSupport.h"
#include "system/wqUtils.h"

namespace {

struct Shown {
    std::string caption;
    RECT rect = {};
    std::vector<int> buttons;
};

BOOL CALLBACK AddButton(HWND child, LPARAM out) {
    char cls[16] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0) reinterpret_cast<Shown*>(out)->buttons.push_back(GetDlgCtrlID(child));
    return TRUE;
}

// Answers the next message box of this process with `command` from a
// thread of its own, recording what it showed.
class BoxAnswer {
public:
    explicit BoxAnswer(int command) : command_(command) { thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
    ~BoxAnswer() {
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
    }
    Shown Result() {
        WaitForSingleObject(thread_, 10000);
        return shown_;
    }

private:
    static BOOL CALLBACK Find(HWND window, LPARAM self) {
        DWORD pid = 0;
        char cls[16] = "";
        GetWindowThreadProcessId(window, &pid);
        GetClassNameA(window, cls, sizeof cls);
        if (pid != GetCurrentProcessId() || strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        reinterpret_cast<BoxAnswer*>(self)->box_ = window;
        return FALSE;
    }
    static DWORD WINAPI Run(void* self) {
        auto* me = static_cast<BoxAnswer*>(self);
        for (int i = 0; i < 500 && !me->box_; ++i, Sleep(20)) EnumWindows(Find, (LPARAM)me);
        if (!me->box_) return 0;
        Sleep(100);  // the centring happens on the box's first activation
        char caption[256] = "";
        GetWindowTextA(me->box_, caption, sizeof caption);
        me->shown_.caption = caption;
        GetWindowRect(me->box_, &me->shown_.rect);
        EnumChildWindows(me->box_, AddButton, (LPARAM)&me->shown_);
        PostMessageA(me->box_, WM_COMMAND, me->command_, 0);
        return 0;
    }
    int command_;
    HWND box_ = nullptr;
    Shown shown_;
    HANDLE thread_;
};

void ExpectCentred(const RECT& r, const char* what) {
    const SIZE screen = ScreenSize();
    EXPECT_GT(r.right, r.left) << what;
    EXPECT_NEAR(r.left + r.right, screen.cx, 1) << what;
    EXPECT_NEAR(r.top + r.bottom, screen.cy, 1) << what;
}

TEST(MessageBoxes, CaptionsButtonsAndAnswers) {
    const std::vector<int> ok = {IDOK}, yesNo = {IDYES, IDNO};
    for (const char* title : {"", "Demo"}) {
        SetMessageBoxTitle(title);
        const struct {
            const char* fallback;
            int answer;
            std::vector<int> buttons;
        } cases[] = {{"Error", IDOK, ok}, {"Warning", IDOK, ok}, {"Question", IDYES, yesNo}, {"Question", IDNO, yesNo}};
        for (const auto& c : cases) {
            BoxAnswer answer(c.answer);
            int result = IDOK;
            if (c.fallback[0] == 'E') ErrorBox("Archive open error!");
            if (c.fallback[0] == 'W') WarningBox("Low disk space");
            if (c.fallback[0] == 'Q') result = QuestionBox("Cancel setup?");
            const Shown shown = answer.Result();
            EXPECT_EQ(shown.caption, title[0] ? title : c.fallback);
            EXPECT_EQ(shown.buttons, c.buttons) << c.fallback;
            EXPECT_EQ(result, c.answer) << c.fallback;
            ExpectCentred(shown.rect, c.fallback);
        }
    }
    SetMessageBoxTitle("");
}

// Wine itself puts every box in the middle of the screen, owner or not, so
// under Wine this checks the outcome rather than the centring hook.
TEST(MessageBoxes, CentredWhateverTheOwnerAndThread) {
    HWND corner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(corner, nullptr);
    {
        BoxAnswer answer(IDOK);
        EXPECT_EQ(CentredMessageBox(corner, "Setup", "Owned by a window in the corner", MB_OK), IDOK);
        const Shown shown = answer.Result();
        EXPECT_EQ(shown.caption, "Setup");
        ExpectCentred(shown.rect, "owned");
    }
    DestroyWindow(corner);

    // The install worker shows its boxes on its own thread.
    struct Worker {
        static DWORD WINAPI Run(void*) { return (DWORD)CentredMessageBox(nullptr, "Error", "Cannot install file x", MB_YESNO); }
    };
    BoxAnswer answer(IDNO);
    HANDLE worker = CreateThread(nullptr, 0, Worker::Run, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
    DWORD result = 0;
    GetExitCodeThread(worker, &result);
    CloseHandle(worker);
    EXPECT_EQ(result, (DWORD)IDNO);
    ExpectCentred(answer.Result().rect, "worker");
}

}  // namespace

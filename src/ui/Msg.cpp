#include "ui/Msg.h"

#include "config/RunState.h"
#include "config/wqStrUtils.h"
#include "system/wqUtils.h"
#include "ui/PageNames.h"
#include "ui/Resource.h"

static HWND messageWindow = nullptr;
static TStr messageText;
static DWORD messageMinTime = 0;
static DWORD messageShownAt = 0;
static long messageExtraWidth = 0;  // window width less the text control's, measured once

void DrawAlignedText(HDC dc, const TStr& text, const RECT& rect, THorizontalAlign horizontal,
                     TVerticalAlign vertical, bool transparent) {
    TStr wrapped = WrapToWidth(dc, text, (int)RectWidth(rect));
    long lineHeight = TextExtentOnDC(dc, wrapped).cy;
    long lines = CountWords(wrapped, TCharSet("\r"));
    long offset = (RectHeight(rect) - lineHeight * lines) / 2;
    if (offset < 0) offset = 0;
    RECT area = rect;
    if (vertical == vaCentre) {
        area.top += offset;
        area.bottom -= offset;
    } else if (vertical == vaBottom) {
        area.top += 2 * offset;
    }
    SetBkMode(dc, transparent ? TRANSPARENT : OPAQUE);
    static const UINT kAlignFlags[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    DrawTextA(dc, wrapped.c_str(), (int)wrapped.length(), &area, kAlignFlags[horizontal] | DT_NOPREFIX);
}

// The text control is owner-drawn: the window paints the current text into
// it, centred both ways, over the dialog's own background.
static INT_PTR CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_DRAWITEM) return 0;
    const DRAWITEMSTRUCT* item = (const DRAWITEMSTRUCT*)lParam;
    if (item->CtlID != IDC_MESSAGE_TEXT) return 0;
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ previous = SelectObject(item->hDC, (HFONT)SendMessageA(window, WM_GETFONT, 0, 0));
    SetTextColor(item->hDC, GetSysColor(COLOR_BTNTEXT));
    DrawAlignedText(item->hDC, messageText, item->rcItem, haCentre, vaCentre, true);
    SelectObject(item->hDC, previous);
    return TRUE;
}

static HWND CreateMessageWindow() {
    const TRunState& run = RunState();
    HWND window = CreateDialogParamA(run.Instance, "DLG_MESSAGE", run.MainWindow, MessageWindowProc, 0);
    if (!window) return nullptr;
    TagTemplateWindow(window, "DLG_MESSAGE");
    RECT whole, text;
    GetWindowRect(window, &whole);
    GetWindowRect(GetDlgItem(window, IDC_MESSAGE_TEXT), &text);
    messageExtraWidth = RectWidth(whole) - RectWidth(text);
    return window;
}

// Text control as wide as the text (50 to 300 pixels), the window around it;
// neither move repaints, the window is shown and painted afterwards.
static void FitToText(HWND window, const TStr& text) {
    HWND control = GetDlgItem(window, IDC_MESSAGE_TEXT);
    long width = TextExtentOfWindow(control, text).cx;
    if (width < 50) width = 50;
    if (width > 300) width = 300;
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window, (POINT*)&place, 2);
    MoveWindow(control, place.left, place.top, width, RectHeight(place), FALSE);
    RECT whole;
    GetWindowRect(window, &whole);
    MoveWindow(window, whole.left, whole.top, width + messageExtraWidth, RectHeight(whole), FALSE);
}

void ShowMessageWindow(const TStr& text, DWORD minTime) {
    if (!messageWindow) messageWindow = CreateMessageWindow();
    if (!messageWindow) {
        ErrorBox("Cannot create message window!");
        return;
    }
    messageText = text;
    messageMinTime = minTime;
    FitToText(messageWindow, text);
    CentreWindow(messageWindow);
    ShowWindow(messageWindow, SW_SHOW);
    SetForegroundWindow(messageWindow);
    InvalidateRect(GetDlgItem(messageWindow, IDC_MESSAGE_TEXT), nullptr, FALSE);
    RedrawNow(messageWindow);
    messageShownAt = GetTickCount();
}

void HideMessageWindow() {
    if (!messageWindow || !IsWindowVisible(messageWindow)) return;
    // Unsigned: the difference stays right when the tick count wraps.
    DWORD shown = GetTickCount() - messageShownAt;
    if (shown < messageMinTime) Sleep(messageMinTime - shown);
    ShowWindow(messageWindow, SW_HIDE);
    if (RunState().MainWindow) RedrawNow(RunState().MainWindow);
    Sleep(50);
}

void DestroyMessageWindow() {
    if (!messageWindow) return;
    UntagTemplateWindow(messageWindow);
    DestroyWindow(messageWindow);
    messageWindow = nullptr;
}

// The keyboard in a plain window: IsDialogMessageW in the message loop does
// Tab, Shift+Tab, Enter and the access keys, but asks the window, as it
// would ask a dialog, which button Enter presses and where the focus goes
// next. The window also keeps the focused control while it is inactive,
// takes Esc before any control sees it, and moves the focus off a control
// before disabling it.
#include "ui/window.h"
#include "win/globals.h"

static HWND s_focus;  // the control that had the focus when the window was left
// A control disabled while it had the focus, and where the focus went then.
static HWND s_focus_moved_from, s_focus_moved_to;

static bool is_dropped_list(HWND control)
{
    return (control == g_quality || control == g_cookies) && SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0);
}

int take_escape(const MSG* msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam != VK_ESCAPE)
        return 0;
    if (msg->hwnd != g_main && !IsChild(g_main, msg->hwnd))
        return 0;
    // An open list closes on Esc, and that is all the user asked for.
    if (is_dropped_list(msg->hwnd))
        return 0;
    cancel_on_escape();
    return 1;
}

static void move_focus_to(HWND control)
{
    SendMessageW(g_main, WM_NEXTDLGCTL, (WPARAM)control, TRUE);
}

void disable_control(HWND control, HWND focus_to)
{
    // With the focus left on a disabled control, Tab, Enter and Esc do
    // nothing until the user clicks somewhere.
    bool focused = GetFocus() == control;
    if (focused || s_focus == control) {
        s_focus_moved_from = control;
        s_focus_moved_to = focus_to;
    }
    if (focused)
        move_focus_to(focus_to);
    if (s_focus == control)
        s_focus = focus_to;
    EnableWindow(control, FALSE);
}

void enable_control(HWND control)
{
    EnableWindow(control, TRUE);
    if (s_focus_moved_from != control)
        return;
    s_focus_moved_from = nullptr;
    // Back where the user left it, unless the user has moved on since.
    if (GetFocus() == s_focus_moved_to)
        move_focus_to(control);
    else if (s_focus == s_focus_moved_to)
        s_focus = control;
}

static bool is_push_button(HWND control)
{
    return (SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

LRESULT on_get_default_id()
{
    // A focused button is the one Enter presses, as in a dialog.
    HWND focus = GetFocus();
    if (focus && IsChild(g_main, focus) && is_push_button(focus))
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
    // While a job runs, Enter in a field presses nothing: a keystroke meant
    // for a field must not act on the job.
    if (g_busy)
        return 0;
    return MAKELRESULT(IDC_CUT, DC_HASDEFID);
}

// Sent by the multi-line log for Tab (wparam: 1 for Shift+Tab) and, with
// lparam 1, to focus the control wparam, for a label's access key.
void on_next_control(WPARAM wparam, LPARAM lparam)
{
    HWND next = LOWORD(lparam) ? (HWND)wparam : GetNextDlgTabItem(g_main, GetFocus(), wparam != 0);
    if (!next)
        return;
    SetFocus(next);
    if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(next, EM_SETSEL, 0, -1);
}

void on_activate(WPARAM wparam)
{
    HWND focus = GetFocus();
    if (LOWORD(wparam) == WA_INACTIVE && focus && IsChild(g_main, focus))
        s_focus = focus;
}

// The window itself takes no keys: its focus goes on to a control, the
// URL field at first.
void on_focus()
{
    SetFocus(s_focus && IsWindowEnabled(s_focus) ? s_focus : g_url);
}

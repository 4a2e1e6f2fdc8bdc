// The keyboard in a plain window: IsDialogMessageW in the message loop does
// Tab, Shift+Tab, Enter and the access keys, but asks the window, as it
// would ask a dialog, which button Enter presses and where the focus goes
// next. The window also keeps the focused control while it is inactive.
#include "jobs/globals.h"
#include "ui/window.h"

static HWND s_focus;  // the control that had the focus when the window was left

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

#pragma once

class QWidget;

namespace pendra {

// Keeps a top-level window out of the taskbar and the pager: the desktop's
// _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER on X11. The window
// manager drops the state when the window is hidden, so call it before each
// show. Elsewhere it does nothing.
void skipTaskbarAndPager(QWidget* window);

}  // namespace pendra

#include "platform/WindowHints.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace pendra {

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, uint16_t(strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

}  // namespace

void skipTaskbarAndPager(QWidget* window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    xcb_connection_t* c = x11->connection();
    static const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    static const xcb_atom_t wanted[2] = {internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                         internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE) {
        return;
    }
    const auto id = xcb_window_t(window->winId());
    // Qt adds its own states to what the property holds when it maps the
    // window, so ours stay; they are added only where missing.
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &std::free);
    const auto* held = reply && reply->format == 32
                           ? static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()))
                           : nullptr;
    const int count = held ? xcb_get_property_value_length(reply.get()) / 4 : 0;
    for (xcb_atom_t atom : wanted) {
        const bool present = std::find(held, held + count, atom) != held + count;
        if (atom != XCB_ATOM_NONE && !present) {
            xcb_change_property(c, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &atom);
        }
    }
    xcb_flush(c);
}

}  // namespace pendra

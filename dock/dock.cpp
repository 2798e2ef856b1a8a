// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The dock window pair: a withdrawn group leader that carries the hints, and
// the icon window that the window manager swallows into its dock. Both are
// 64 x 64, shaped alike and show the same face: some docks swallow the leader
// instead, and without a dock the window manager frames the leader.
#include "dock/dock.h"

#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <cstdio>
#include <cstdlib>

dock_surface_record dock_surface;

static const char *invocation_name(char **argv) {
    return argv != nullptr && argv[0] != nullptr ? argv[0] : "dayspinner";
}

void open_dock_window(const char *display_name, const char *window_name, int width, int height,
                      int argc, char **argv) {
    dock_surface_record &d = dock_surface;
    d.display = XOpenDisplay(display_name);
    if (d.display == nullptr) {
        std::fprintf(stderr, "%s: could not open display %s!\n", invocation_name(argv),
                     XDisplayName(display_name));
        std::exit(1);
    }
    int screen = DefaultScreen(d.display);
    Window root = RootWindow(d.display, screen);
    d.width = width;
    d.height = height;
    d.icon_window = XCreateSimpleWindow(d.display, root, 0, 0, width, height, 0, 0, 0);
    d.leader_window = XCreateSimpleWindow(d.display, root, 0, 0, width, height, 0, 0, 0);
    d.name = invocation_name(argv);

    XClassHint *class_hint = XAllocClassHint();
    if (class_hint == nullptr) {
        std::fprintf(stderr, "%s: can't allocate memory for wm hints!\n", invocation_name(argv));
        std::exit(1);
    }
    // The hint record only points at the texts; Xlib copies them into the property.
    class_hint->res_name = const_cast<char *>(window_name);
    class_hint->res_class = const_cast<char *>("DockApp");
    XSetClassHint(d.display, d.leader_window, class_hint);
    XFree(class_hint);

    XWMHints *wm_hints = XAllocWMHints();
    if (wm_hints == nullptr) {
        std::fprintf(stderr, "%s: can't allocate memory for wm hints!\n", invocation_name(argv));
        std::exit(1);
    }
    // Withdrawn with an icon window: the window manager docks the icon window
    // and gives the leader no frame.
    wm_hints->flags = StateHint | IconWindowHint | WindowGroupHint;
    wm_hints->initial_state = WithdrawnState;
    wm_hints->icon_window = d.icon_window;
    wm_hints->window_group = d.leader_window;
    XSetWMHints(d.display, d.leader_window, wm_hints);
    XFree(wm_hints);

    d.delete_atom = XInternAtom(d.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d.display, d.icon_window, &d.delete_atom, 1);
    XSetWMProtocols(d.display, d.leader_window, &d.delete_atom, 1);

    XSizeHints size_hints{};
    size_hints.flags = USPosition | USSize;
    size_hints.x = 0;
    size_hints.y = 0;
    size_hints.width = width;
    size_hints.height = height;
    XSetWMNormalHints(d.display, d.icon_window, &size_hints);
    // A framed leader keeps the size of the face.
    size_hints.flags |= PMinSize | PMaxSize;
    size_hints.min_width = size_hints.max_width = width;
    size_hints.min_height = size_hints.max_height = height;
    XSetWMNormalHints(d.display, d.leader_window, &size_hints);

    XTextProperty name_property{};
    char *name_list[1] = {const_cast<char *>(window_name)};
    if (XStringListToTextProperty(name_list, 1, &name_property) != 0) {
        XSetWMName(d.display, d.leader_window, &name_property);
        XSetWMName(d.display, d.icon_window, &name_property);
        XFree(name_property.value);
    }

    XSetCommand(d.display, d.leader_window, argv, argc);

    d.depth = DefaultDepth(d.display, screen);
    d.gc = DefaultGC(d.display, screen);
    XFlush(d.display);
}

void select_dock_input() {
    XSelectInput(dock_surface.display, dock_surface.icon_window, dock_event_mask);
    XSelectInput(dock_surface.display, dock_surface.leader_window, dock_event_mask);
}

void shape_window(Pixmap mask, int x, int y) {
    XShapeCombineMask(dock_surface.display, dock_surface.icon_window, ShapeBounding, -x, -y, mask,
                      ShapeSet);
    XShapeCombineMask(dock_surface.display, dock_surface.leader_window, ShapeBounding, -x, -y, mask,
                      ShapeSet);
    XFlush(dock_surface.display);
}

void set_face_background(Pixmap pixmap) {
    // With the buffer as background the server repaints exposed parts itself.
    XSetWindowBackgroundPixmap(dock_surface.display, dock_surface.icon_window, pixmap);
    XSetWindowBackgroundPixmap(dock_surface.display, dock_surface.leader_window, pixmap);
    XClearWindow(dock_surface.display, dock_surface.icon_window);
    XClearWindow(dock_surface.display, dock_surface.leader_window);
    XFlush(dock_surface.display);
}

void map_dock_window() {
    // The icon window is mapped by the window manager, as the leader's icon.
    XMapRaised(dock_surface.display, dock_surface.leader_window);
    XFlush(dock_surface.display);
}

// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The drawing surface (server-side pixmaps copied into the icon window) and
// the one place where X events are received.
#include "dock/dock.h"

#include <X11/xpm.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

int load_xpm(const char *const *data, Pixmap *pixmap_out, Pixmap *mask_out) {
    XpmAttributes attributes{};
    // Closeness is a distance in the library's 16-bit RGB units: a colour the
    // server cannot allocate exactly may be stood in for by one this close.
    attributes.valuemask = XpmCloseness;
    attributes.closeness = 40000;
    int status =
        XpmCreatePixmapFromData(dock_surface.display, dock_surface.icon_window,
                                const_cast<char **>(data), pixmap_out, mask_out, &attributes);
    return status == XpmSuccess ? 1 : 0;
}

Pixmap create_buffer(int width, int height) {
    return XCreatePixmap(dock_surface.display, dock_surface.icon_window, width, height,
                         dock_surface.depth);
}

void blit(Drawable src, Drawable dst, int src_x, int src_y, int w, int h, int dst_x, int dst_y) {
    XCopyArea(dock_surface.display, src, dst, dock_surface.gc, src_x, src_y, w, h, dst_x, dst_y);
}

void fill_rectangle(Drawable dst, int x, int y, int w, int h, unsigned long rgb) {
    // A GC of its own: the default one is shared by every copy.
    static GC fill = nullptr;
    static unsigned long last_rgb = ~0UL, pixel = 0;
    Display *d = dock_surface.display;
    if (!fill) fill = XCreateGC(d, dock_surface.icon_window, 0, nullptr);
    if (rgb != last_rgb) {
        XColor c{};
        c.red = static_cast<unsigned short>((rgb >> 16 & 0xff) * 257);
        c.green = static_cast<unsigned short>((rgb >> 8 & 0xff) * 257);
        c.blue = static_cast<unsigned short>((rgb & 0xff) * 257);
        c.flags = DoRed | DoGreen | DoBlue;
        if (XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &c)) pixel = c.pixel;
        last_rgb = rgb;
    }
    XSetForeground(d, fill, pixel);
    XFillRectangle(d, dst, fill, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void flush_buffer(Pixmap pixmap) {
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window})
        XCopyArea(dock_surface.display, pixmap, w, dock_surface.gc, 0, 0, dock_surface.width,
                  dock_surface.height, 0, 0);
}

void repaint_exposed(const XExposeEvent &expose) {
    if (expose.window != dock_surface.icon_window && expose.window != dock_surface.leader_window)
        return;
    if (dock_surface.buffer_pixmap == 0) return;
    XCopyArea(dock_surface.display, dock_surface.buffer_pixmap, expose.window, dock_surface.gc,
              expose.x, expose.y, static_cast<unsigned>(expose.width),
              static_cast<unsigned>(expose.height), expose.x, expose.y);
}

static bool is_dock_window(Window w) {
    return w != 0 && (w == dock_surface.icon_window || w == dock_surface.leader_window);
}

[[noreturn]] static void end_without_windows() {
    std::fprintf(stderr, "%s: the tile's windows were destroyed by another client\n",
                 dock_surface.name != nullptr ? dock_surface.name : "dayspinner");
    std::exit(1);
}

// Handlers of the client library are process-wide; the one found when ours
// was installed (GDK's) keeps serving every other connection's errors.
static XErrorHandler earlier_error_handler;

// A request that names one of the pair after another client destroyed it
// fails before the DestroyNotify is read: the same end.
static int on_x_error(Display *display, XErrorEvent *error) {
    bool gone = error->error_code == BadWindow || error->error_code == BadDrawable;
    if (display == dock_surface.display && gone && is_dock_window(error->resourceid))
        end_without_windows();
    return earlier_error_handler != nullptr ? earlier_error_handler(display, error) : 0;
}

// The tile's connection and GTK's go to the same server, and either may be
// the first to find it gone: both end the process the same way.
static int on_x_io_error(Display *display) {
    std::fprintf(stderr, "%s: connection to the X server %s broken\n",
                 dock_surface.name != nullptr ? dock_surface.name : "dayspinner",
                 DisplayString(display));
    std::exit(1);
}

void watch_dock_connection() {
    XErrorHandler previous = XSetErrorHandler(on_x_error);
    if (previous != on_x_error) earlier_error_handler = previous;
    XSetIOErrorHandler(on_x_io_error);
}

// The close request is honoured for every event handed out, whether it was
// already queued or newly read, so nothing queued ahead of it can hide it.
static int take_event(XEvent *event_out) {
    XNextEvent(dock_surface.display, event_out);
    if (event_out->type == ClientMessage &&
        static_cast<Atom>(event_out->xclient.data.l[0]) == dock_surface.delete_atom) {
        XDestroyWindow(dock_surface.display, event_out->xclient.window);
        XCloseDisplay(dock_surface.display);
        std::exit(0);
    }
    if (event_out->type == DestroyNotify && is_dock_window(event_out->xdestroywindow.window))
        end_without_windows();
    return 1;
}

int take_queued_event(XEvent *event_out) {
    return XPending(dock_surface.display) > 0 ? take_event(event_out) : 0;
}

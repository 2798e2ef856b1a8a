// The drawing surface (server-side pixmaps copied into the icon window) and
// the one place where X events are received.
#include "dock/dock.h"

#include <X11/xpm.h>

#include <sys/select.h>

#include <cstdlib>

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

void flush_buffer(Pixmap pixmap) {
    XCopyArea(dock_surface.display, pixmap, dock_surface.icon_window, dock_surface.gc, 0, 0,
              dock_surface.width, dock_surface.height, 0, 0);
}

timeval select_timeout(unsigned timeout_ms) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout_ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>(timeout_ms % 1000) * 1000;
    return tv;
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
    return 1;
}

int wait_event(XEvent *event_out, unsigned timeout_ms) {
    Display *display = dock_surface.display;
    XSync(display, False);
    if (XPending(display) > 0) return take_event(event_out);

    int fd = ConnectionNumber(display);
    fd_set read_set;
    FD_ZERO(&read_set);
    FD_SET(fd, &read_set);
    timeval tv = select_timeout(timeout_ms);
    // A time-out and an error (an interrupted call among them) both mean "no event".
    if (select(fd + 1, &read_set, nullptr, nullptr, &tv) <= 0) return 0;
    // Readable bytes need not make a whole event; never block past the time-out.
    if (XPending(display) == 0) return 0;
    return take_event(event_out);
}

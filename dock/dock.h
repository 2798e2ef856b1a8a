// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The dock window pair, the drawing surface and the events it receives.
#pragma once

#include <X11/Xlib.h>

struct dock_surface_record {
    Display *display = nullptr;  // open until the process ends
    Window icon_window = 0;      // 64 x 64, shown by the dock, receives the pointer
    Window leader_window = 0;    // 64 x 64 group leader, withdrawn, carries the hints; shows
                                 // the face too where a dock swallows it or there is no dock
    const char *name = nullptr;  // the invocation name, first word of every message
    Atom delete_atom = 0;        // WM_DELETE_WINDOW
    int depth = 0;               // default depth; depth of every pixmap
    GC gc = nullptr;             // default GC of the screen; used for every copy
    int width = 0, height = 0;   // size of the icon window
    Pixmap sheet_pixmap = 0;     // month names and year digits
    Pixmap face_pixmap = 0;      // empty face and glyphs
    Pixmap shape_mask = 0;       // transparency of the face image; freed after shaping
    Pixmap buffer_pixmap = 0;    // the 64 x 64 off-screen buffer, also the background
};

extern dock_surface_record dock_surface;

// Events selected on both windows: button press and release, pointer motion,
// exposure and structure changes (163916). Only presses are acted upon.
constexpr long dock_event_mask =
    ButtonPressMask | ButtonReleaseMask | PointerMotionMask | ExposureMask | StructureNotifyMask;

void open_dock_window(const char *display_name, const char *window_name, int width, int height,
                      int argc, char **argv);
void select_dock_input();
void shape_window(Pixmap mask, int x, int y);
void set_face_background(Pixmap pixmap);
void map_dock_window();

int load_xpm(const char *const *data, Pixmap *pixmap_out, Pixmap *mask_out);
Pixmap create_buffer(int width, int height);
void blit(Drawable src, Drawable dst, int src_x, int src_y, int w, int h, int dst_x, int dst_y);
// Fills the rectangle of dst with the colour rgb (0xRRGGBB).
void fill_rectangle(Drawable dst, int x, int y, int w, int h, unsigned long rgb);
// Copies the whole pixmap into both windows.
void flush_buffer(Pixmap pixmap);
// Copies the exposed rectangle of the buffer into the exposed window, when it
// is one of the pair.
void repaint_exposed(const XExposeEvent &expose);
// Stores an event already queued, or readable without blocking, and returns
// 1; returns 0 when there is none. Ends the process with status 0 when the
// event is the window manager's close request, and with status 1 and one line
// on stderr when another client destroyed one of the pair or the connection
// to the server broke.
int take_queued_event(XEvent *event_out);
// Installs the handlers that end the process with one line on stderr and
// status 1 when the server connection breaks or a request finds the pair
// destroyed. Call before the connection opens, and again after GTK+ is
// initialised, which installs handlers of its own.
void watch_dock_connection();

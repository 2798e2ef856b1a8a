// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Images into pixmaps, rectangle copies into the buffer, the buffer into the
// window, and the events taken from the connection.
#include "dock_fixture.h"

#include <X11/Xutil.h>

#include <unistd.h>

namespace {

// 4 x 2: red, green, a transparent pixel, blue / all blue.
const char *const small_xpm[] = {"4 2 4 1",  "r c #FF0000", "g c #00FF00", "b c #0000FF",
                                 "  c None", "rg b",        "bbbb"};
const char *const opaque_xpm[] = {"2 1 1 1", "w c #FFFFFF", "ww"};
const char *const broken_xpm[] = {"not an image header"};

unsigned long rgb_at(Drawable d, int x, int y) {
    XImage *image = XGetImage(dock_surface.display, d, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return ~0ul;
    unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel & 0xFFFFFF;  // TrueColor at depth 24: 0xRRGGBB
}

TEST_F(dock_test, load_xpm_gives_pixmap_and_mask_of_the_transparent_colour) {
    Pixmap pixmap = 0, mask = 0;
    ASSERT_EQ(load_xpm(small_xpm, &pixmap, &mask), 1);
    ASSERT_NE(pixmap, 0u);
    ASSERT_NE(mask, 0u);
    EXPECT_EQ(rgb_at(pixmap, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgb_at(pixmap, 1, 0), 0x00FF00u);
    EXPECT_EQ(rgb_at(pixmap, 3, 1), 0x0000FFu);
    XImage *bits = XGetImage(dock_surface.display, mask, 0, 0, 4, 2, 1, XYPixmap);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(XGetPixel(bits, 1, 0), 1u);
    EXPECT_EQ(XGetPixel(bits, 2, 0), 0u);
    EXPECT_EQ(XGetPixel(bits, 3, 0), 1u);
    XDestroyImage(bits);

    Pixmap opaque = 0, no_mask = 123;
    EXPECT_EQ(load_xpm(opaque_xpm, &opaque, &no_mask), 1);
    EXPECT_EQ(no_mask, 0u);
    EXPECT_EQ(rgb_at(opaque, 1, 0), 0xFFFFFFu);

    Pixmap broken = 0, broken_mask = 0;
    EXPECT_EQ(load_xpm(broken_xpm, &broken, &broken_mask), 0);
}

TEST_F(dock_test, blit_copies_rectangles_and_flush_shows_the_whole_buffer) {
    Pixmap skin = 0, mask = 0;
    ASSERT_EQ(load_xpm(small_xpm, &skin, &mask), 1);
    Pixmap buffer = create_buffer(64, 64);
    ASSERT_NE(buffer, 0u);
    Window root = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    XGetGeometry(dock_surface.display, buffer, &root, &x, &y, &w, &h, &border, &depth);
    EXPECT_EQ(w, 64u);
    EXPECT_EQ(h, 64u);
    EXPECT_EQ(static_cast<int>(depth), dock_surface.depth);

    // Fill with blue from the skin's second row, then two single pixels.
    for (int row = 0; row < 64; row++)
        for (int col = 0; col < 64; col += 4) blit(skin, buffer, 0, 1, 4, 1, col, row);
    blit(skin, buffer, 0, 0, 1, 1, 63, 63);
    blit(skin, buffer, 1, 0, 1, 1, 0, 0);
    EXPECT_EQ(rgb_at(buffer, 63, 63), 0xFF0000u);
    EXPECT_EQ(rgb_at(buffer, 0, 0), 0x00FF00u);
    EXPECT_EQ(rgb_at(buffer, 30, 30), 0x0000FFu);

    // A dock maps one of the two windows; here the test maps both, and both
    // show every flush, whichever a dock swallowed.
    set_face_background(buffer);
    XMoveWindow(dock_surface.display, dock_surface.leader_window, 100, 0);  // side by side
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window})
        XMapWindow(dock_surface.display, w);
    XSync(dock_surface.display, False);
    EXPECT_EQ(rgb_at(dock_surface.icon_window, 30, 30), 0x0000FFu) << "background is the buffer";
    blit(skin, buffer, 0, 0, 1, 1, 30, 30);
    flush_buffer(buffer);
    XSync(dock_surface.display, False);
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window}) {
        EXPECT_EQ(rgb_at(w, 30, 30), 0xFF0000u);
        EXPECT_EQ(rgb_at(w, 63, 63), 0xFF0000u);
        EXPECT_EQ(rgb_at(w, 0, 0), 0x00FF00u);
    }

    // An exposure repaints only its rectangle of the exposed window, from the
    // buffer the drawing steps use.
    Pixmap kept = dock_surface.buffer_pixmap;
    dock_surface.buffer_pixmap = buffer;
    blit(skin, buffer, 0, 0, 1, 1, 10, 10);  // red, not yet flushed
    blit(skin, buffer, 0, 0, 1, 1, 20, 20);
    XExposeEvent expose{};
    expose.type = Expose;
    expose.window = dock_surface.leader_window;
    expose.x = expose.y = 8;
    expose.width = expose.height = 4;
    repaint_exposed(expose);
    XSync(dock_surface.display, False);
    EXPECT_EQ(rgb_at(dock_surface.leader_window, 10, 10), 0xFF0000u);
    EXPECT_EQ(rgb_at(dock_surface.leader_window, 20, 20), 0x0000FFu);
    EXPECT_EQ(rgb_at(dock_surface.icon_window, 10, 10), 0x0000FFu);
    dock_surface.buffer_pixmap = kept;
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window})
        XUnmapWindow(dock_surface.display, w);
    XMoveWindow(dock_surface.display, dock_surface.leader_window, 0, 0);
    XSync(dock_surface.display, False);
}

TEST_F(dock_test, mapping_maps_the_leader_and_leaves_the_icon_to_the_window_manager) {
    map_dock_window();
    XSync(dock_surface.display, False);
    XWindowAttributes leader{}, icon{};
    XGetWindowAttributes(observer, dock_surface.leader_window, &leader);
    XGetWindowAttributes(observer, dock_surface.icon_window, &icon);
    EXPECT_EQ(leader.map_state, IsViewable);
    EXPECT_EQ(icon.map_state, IsUnmapped);
}

// Sends a synthetic event to the icon window from another connection.
void send_to_icon(Display *from, XEvent event, long mask) {
    event.xany.window = dock_surface.icon_window;
    XSendEvent(from, dock_surface.icon_window, False, mask, &event);
    XSync(from, False);
}

XEvent client_message(Display *from, Atom first) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.message_type = XInternAtom(from, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(first);
    return e;
}

XEvent of_type(int type) {
    XEvent e{};
    e.type = type;
    return e;
}

TEST_F(dock_test, every_other_event_comes_back_in_order_and_then_none) {
    XSync(dock_surface.display, False);
    XEvent e{};
    while (XPending(dock_surface.display) > 0) XNextEvent(dock_surface.display, &e);
    e.type = 12345;
    EXPECT_EQ(take_queued_event(&e), 0);
    EXPECT_EQ(e.type, 12345) << "nothing queued leaves the event alone";

    Atom other = XInternAtom(observer, "WM_TAKE_FOCUS", False);
    send_to_icon(observer, client_message(observer, other), NoEventMask);
    XEvent motion = of_type(MotionNotify);
    motion.xmotion.x = 7;
    send_to_icon(observer, motion, PointerMotionMask);
    send_to_icon(observer, of_type(ButtonRelease), ButtonReleaseMask);
    XEvent expose = of_type(Expose);
    expose.xexpose.width = 5;
    send_to_icon(observer, expose, ExposureMask);
    XSync(dock_surface.display, False);  // every event sent is queued now

    ASSERT_EQ(take_queued_event(&e), 1);
    EXPECT_EQ(e.type, ClientMessage);
    EXPECT_EQ(static_cast<Atom>(e.xclient.data.l[0]), other);
    ASSERT_EQ(take_queued_event(&e), 1);
    EXPECT_EQ(e.type, MotionNotify);
    EXPECT_EQ(e.xmotion.x, 7);
    ASSERT_EQ(take_queued_event(&e), 1);
    EXPECT_EQ(e.type, ButtonRelease);
    ASSERT_EQ(take_queued_event(&e), 1);
    EXPECT_EQ(e.type, Expose);
    EXPECT_EQ(e.xexpose.width, 5);
    EXPECT_EQ(take_queued_event(&e), 0);
}

// The fixture's connection stays reachable while a child opens a pair of its own.
Display *fixture_display;

// In a child: a pair of its own, watched as the program watches it.
void open_own_pair() {
    fixture_display = dock_surface.display;
    open_dock_window("", "Dayspinner", 64, 64, 3, dock_test_argv);
    select_dock_input();
    watch_dock_connection();
    XSync(dock_surface.display, False);  // nothing of ours waits to name a window
}

// Takes every event that reached the pair; exits with 10 and the number
// taken when none of them ended the process.
[[noreturn]] void take_every_event() {
    XSync(dock_surface.display, False);
    XEvent e{};
    int handed_back = 0;
    while (take_queued_event(&e) != 0) ++handed_back;
    _exit(10 + handed_back);
}

// The close request counts even behind other queued events.
void close_behind_other_events() {
    open_own_pair();
    Display *wm = XOpenDisplay(nullptr);
    Atom other = XInternAtom(wm, "WM_TAKE_FOCUS", False);
    send_to_icon(wm, of_type(MotionNotify), PointerMotionMask);
    send_to_icon(wm, client_message(wm, other), NoEventMask);
    send_to_icon(wm, client_message(wm, dock_surface.delete_atom), NoEventMask);
    send_to_icon(wm, of_type(Expose), ExposureMask);
    take_every_event();
}

// A message whose type is WM_DELETE_WINDOW but whose first item is not:
// only the first data item counts, and it comes back like any other.
void close_in_the_type_only() {
    open_own_pair();
    Display *wm = XOpenDisplay(nullptr);
    XEvent misleading = client_message(wm, XInternAtom(wm, "WM_TAKE_FOCUS", False));
    misleading.xclient.message_type = dock_surface.delete_atom;
    send_to_icon(wm, misleading, NoEventMask);
    take_every_event();
}

void destroy_by_another_client(Window victim) {
    Display *other = XOpenDisplay(nullptr);
    XDestroyWindow(other, victim);
    XCloseDisplay(other);
}

void icon_destroyed() {
    open_own_pair();
    destroy_by_another_client(dock_surface.icon_window);
    take_every_event();
}

void leader_destroyed() {
    open_own_pair();
    destroy_by_another_client(dock_surface.leader_window);
    take_every_event();
}

// A request names the destroyed window before its DestroyNotify is read.
void destroyed_before_a_copy() {
    open_own_pair();
    dock_surface.buffer_pixmap = create_buffer(64, 64);
    destroy_by_another_client(dock_surface.leader_window);
    flush_buffer(dock_surface.buffer_pixmap);
    XSync(dock_surface.display, False);
    _exit(20);
}

// The server closes the connection (another client kills it).
void connection_killed() {
    open_own_pair();
    Display *other = XOpenDisplay(nullptr);
    XKillClient(other, dock_surface.icon_window);
    XCloseDisplay(other);
    take_every_event();
}

TEST_F(dock_test, close_request_lost_windows_and_a_broken_connection_end_the_process) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char *const destroyed =
        "^dock-test: the tile's windows were destroyed by another client\n$";
    struct ending {
        const char *what;
        void (*child)();
        int status;
        const char *stderr_pattern;
    } endings[] = {
        {"close request", close_behind_other_events, 0, ""},
        {"close in the type only", close_in_the_type_only, 11, ""},
        {"icon destroyed", icon_destroyed, 1, destroyed},
        {"leader destroyed", leader_destroyed, 1, destroyed},
        {"destroyed before a copy", destroyed_before_a_copy, 1, destroyed},
        {"connection killed", connection_killed, 1,
         "^dock-test: connection to the X server .* broken\n$"},
    };
    for (const ending &c : endings)
        EXPECT_EXIT(c.child(), ::testing::ExitedWithCode(c.status), c.stderr_pattern) << c.what;
}

}  // namespace

// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Images into pixmaps, rectangle copies into the buffer, the buffer into the window.
#include "dock_fixture.h"

#include <X11/Xutil.h>

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

}  // namespace

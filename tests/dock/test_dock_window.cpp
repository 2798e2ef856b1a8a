// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// What a window manager reads from the window pair.
#include "dock_fixture.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <string>
#include <vector>

namespace {

std::string window_name(Window w) {
    XTextProperty property{};
    if (XGetWMName(observer, w, &property) == 0) return "<none>";
    std::string name(reinterpret_cast<char *>(property.value), property.nitems);
    XFree(property.value);
    return name;
}

struct size_record {
    unsigned width, height, border;
};

size_record size_of(Window w) {
    Window root = 0;
    int x = 0, y = 0;
    size_record s{};
    unsigned depth = 0;
    XGetGeometry(observer, w, &root, &x, &y, &s.width, &s.height, &s.border, &depth);
    return s;
}

TEST_F(dock_test, leader_carries_class_hints_and_command) {
    XClassHint hint{};
    ASSERT_NE(XGetClassHint(observer, dock_surface.leader_window, &hint), 0);
    EXPECT_STREQ(hint.res_name, "Dayspinner");
    EXPECT_STREQ(hint.res_class, "DockApp");
    XFree(hint.res_name);
    XFree(hint.res_class);

    XWMHints *hints = XGetWMHints(observer, dock_surface.leader_window);
    ASSERT_NE(hints, nullptr);
    EXPECT_EQ(hints->flags, 74);
    EXPECT_EQ(hints->initial_state, WithdrawnState);
    EXPECT_EQ(hints->icon_window, dock_surface.icon_window);
    EXPECT_EQ(hints->window_group, dock_surface.leader_window);
    XFree(hints);

    char **argv = nullptr;
    int argc = 0;
    ASSERT_NE(XGetCommand(observer, dock_surface.leader_window, &argv, &argc), 0);
    ASSERT_EQ(argc, 3);
    EXPECT_STREQ(argv[0], "dock-test");
    EXPECT_STREQ(argv[1], "-p");
    EXPECT_STREQ(argv[2], "two words");
    XFreeStringList(argv);

    // The icon window carries neither class nor command: the leader speaks for both.
    XClassHint none{};
    EXPECT_EQ(XGetClassHint(observer, dock_surface.icon_window, &none), 0);
}

TEST_F(dock_test, icon_window_carries_size_hints_and_the_close_protocol) {
    XSizeHints size{};
    long supplied = 0;
    ASSERT_NE(XGetWMNormalHints(observer, dock_surface.icon_window, &size, &supplied), 0);
    EXPECT_EQ(size.flags, 3);
    EXPECT_EQ(size.x, 0);
    EXPECT_EQ(size.y, 0);
    EXPECT_EQ(size.width, 64);
    EXPECT_EQ(size.height, 64);

    Atom *protocols = nullptr;
    int count = 0;
    ASSERT_NE(XGetWMProtocols(observer, dock_surface.icon_window, &protocols, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(protocols[0], XInternAtom(observer, "WM_DELETE_WINDOW", True));
    EXPECT_EQ(protocols[0], dock_surface.delete_atom);
    XFree(protocols);
}

// A window manager that frames the leader offers it a close and keeps it at
// the face's size; the icon window's hints are unchanged.
TEST_F(dock_test, leader_carries_fixed_size_hints_and_the_close_protocol) {
    XSizeHints size{};
    long supplied = 0;
    ASSERT_NE(XGetWMNormalHints(observer, dock_surface.leader_window, &size, &supplied), 0);
    EXPECT_EQ(size.flags, USPosition | USSize | PMinSize | PMaxSize);
    EXPECT_EQ((std::vector<int>{size.width, size.height, size.min_width, size.min_height,
                                size.max_width, size.max_height}),
              std::vector<int>(6, 64));
    Atom *protocols = nullptr;
    int count = 0;
    ASSERT_NE(XGetWMProtocols(observer, dock_surface.leader_window, &protocols, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(protocols[0], dock_surface.delete_atom);
    XFree(protocols);
}

TEST_F(dock_test, both_windows_are_named_and_sized) {
    EXPECT_EQ(window_name(dock_surface.leader_window), "Dayspinner");
    EXPECT_EQ(window_name(dock_surface.icon_window), "Dayspinner");

    size_record icon = size_of(dock_surface.icon_window);
    EXPECT_EQ(icon.width, 64u);
    EXPECT_EQ(icon.height, 64u);
    EXPECT_EQ(icon.border, 0u);
    // The leader has the face's size too: a dock may swallow it, and without
    // a dock it is the window the user sees.
    size_record leader = size_of(dock_surface.leader_window);
    EXPECT_EQ(leader.width, 64u);
    EXPECT_EQ(leader.height, 64u);
    EXPECT_EQ(leader.border, 0u);
    EXPECT_EQ((dock_surface.width), 64);
    EXPECT_EQ((dock_surface.height), 64);

    EXPECT_EQ(dock_surface.depth, DefaultDepth(observer, DefaultScreen(observer)));
    Window root = DefaultRootWindow(observer);
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window}) {
        Window root_return = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        ASSERT_NE(XQueryTree(observer, w, &root_return, &parent, &children, &n), 0);
        EXPECT_EQ(parent, root);
        if (children != nullptr) XFree(children);
    }
}

TEST_F(dock_test, both_windows_select_the_dock_event_mask) {
    EXPECT_EQ(dock_event_mask, 163916);
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window}) {
        XWindowAttributes own{}, seen{};
        ASSERT_NE(XGetWindowAttributes(dock_surface.display, w, &own), 0);
        EXPECT_EQ(own.your_event_mask, 163916);
        ASSERT_NE(XGetWindowAttributes(observer, w, &seen), 0);
        EXPECT_EQ(seen.all_event_masks & 163916, 163916);
    }
}

// The bounding shape of both windows follows the mask, moved by (-x, -y).
TEST_F(dock_test, shape_follows_the_mask_with_its_offset) {
    Pixmap mask = XCreatePixmap(dock_surface.display, dock_surface.icon_window, 64, 64, 1);
    GC gc = XCreateGC(dock_surface.display, mask, 0, nullptr);
    XSetForeground(dock_surface.display, gc, 0);
    XFillRectangle(dock_surface.display, mask, gc, 0, 0, 64, 64);
    XSetForeground(dock_surface.display, gc, 1);
    XFillRectangle(dock_surface.display, mask, gc, 10, 20, 30, 40);

    auto bounding = [](Window w) {
        int count = 0, ordering = 0;
        XRectangle *r = XShapeGetRectangles(observer, w, ShapeBounding, &count, &ordering);
        std::vector<XRectangle> rects(r, r + count);
        if (r != nullptr) XFree(r);
        return rects;
    };
    shape_window(mask, 0, 0);
    XSync(dock_surface.display, False);
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window}) {
        std::vector<XRectangle> rects = bounding(w);
        ASSERT_EQ(rects.size(), 1u);
        EXPECT_EQ(rects[0].x, 10);
        EXPECT_EQ(rects[0].y, 20);
        EXPECT_EQ(rects[0].width, 30);
        EXPECT_EQ(rects[0].height, 40);
    }
    shape_window(mask, 4, 5);
    XSync(dock_surface.display, False);
    std::vector<XRectangle> moved = bounding(dock_surface.icon_window);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].x, 6);
    EXPECT_EQ(moved[0].y, 15);

    // Back to unshaped for the other tests.
    XShapeCombineMask(dock_surface.display, dock_surface.icon_window, ShapeBounding, 0, 0, None,
                      ShapeSet);
    XShapeCombineMask(dock_surface.display, dock_surface.leader_window, ShapeBounding, 0, 0, None,
                      ShapeSet);
    XFreeGC(dock_surface.display, gc);
    XFreePixmap(dock_surface.display, mask);
    XSync(dock_surface.display, False);
}

}  // namespace

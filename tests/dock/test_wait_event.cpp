// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The timed wait: events handed back, time-outs, and the close request.
#include "dock_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <climits>

namespace {

void drain() {
    XSync(dock_surface.display, False);
    XEvent e;
    while (XPending(dock_surface.display) > 0) XNextEvent(dock_surface.display, &e);
}

// Sends a synthetic event to the icon window from the observer connection.
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

TEST(select_timeout, splits_milliseconds_into_seconds_and_microseconds) {
    struct case_record {
        unsigned ms;
        long sec, usec;
    } cases[] = {{150, 0, 150000},           {2500, 2, 500000}, {0, 0, 0},
                 {999, 0, 999000},           {1000, 1, 0},      {1001, 1, 1000},
                 {UINT_MAX, 4294967, 295000}};
    for (const case_record &c : cases) {
        timeval tv = select_timeout(c.ms);
        EXPECT_EQ(tv.tv_sec, c.sec) << c.ms;
        EXPECT_EQ(tv.tv_usec, c.usec) << c.ms;
    }
}

TEST_F(dock_test, wait_times_out_without_touching_the_event) {
    drain();
    XEvent e{};
    e.type = 12345;
    EXPECT_EQ(wait_event(&e, 20), 0);
    EXPECT_EQ(e.type, 12345);
}

TEST_F(dock_test, every_other_event_comes_back_with_result_1) {
    drain();
    Atom other = XInternAtom(observer, "WM_TAKE_FOCUS", False);
    send_to_icon(observer, client_message(observer, other), NoEventMask);
    XEvent motion{};
    motion.type = MotionNotify;
    motion.xmotion.x = 7;
    send_to_icon(observer, motion, PointerMotionMask);
    XEvent release{};
    release.type = ButtonRelease;
    release.xbutton.button = 1;
    send_to_icon(observer, release, ButtonReleaseMask);
    XEvent expose{};
    expose.type = Expose;
    expose.xexpose.width = 5;
    send_to_icon(observer, expose, ExposureMask);
    // A message whose type is WM_DELETE_WINDOW but whose first item is not:
    // only the first data item counts.
    XEvent misleading = client_message(observer, other);
    misleading.xclient.message_type = dock_surface.delete_atom;
    send_to_icon(observer, misleading, NoEventMask);

    XEvent e{};
    ASSERT_EQ(wait_event(&e, 1000), 1);
    EXPECT_EQ(e.type, ClientMessage);
    EXPECT_EQ(static_cast<Atom>(e.xclient.data.l[0]), other);
    ASSERT_EQ(wait_event(&e, 1000), 1);
    EXPECT_EQ(e.type, MotionNotify);
    EXPECT_EQ(e.xmotion.x, 7);
    ASSERT_EQ(wait_event(&e, 1000), 1);
    EXPECT_EQ(e.type, ButtonRelease);
    ASSERT_EQ(wait_event(&e, 1000), 1);
    EXPECT_EQ(e.type, Expose);
    EXPECT_EQ(e.xexpose.width, 5);
    ASSERT_EQ(wait_event(&e, 1000), 1);
    EXPECT_EQ(e.type, ClientMessage);
    EXPECT_EQ(wait_event(&e, 20), 0);
}

// An event that arrives during the wait (not yet queued when it starts) is read too.
TEST_F(dock_test, an_event_sent_by_a_child_arrives_during_the_wait) {
    drain();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        usleep(100 * 1000);
        Display *d = XOpenDisplay(nullptr);
        XEvent motion{};
        motion.type = MotionNotify;
        motion.xmotion.y = 9;
        send_to_icon(d, motion, PointerMotionMask);
        _exit(0);
    }
    XEvent e{};
    int got = wait_event(&e, 5000);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(got, 1);
    EXPECT_EQ(e.type, MotionNotify);
    EXPECT_EQ(e.xmotion.y, 9);
}

// The close request ends the process with status 0 even behind other queued
// events. Run in a child with a window pair of its own.
void close_behind_other_events() {
    open_dock_window("", "Dayspinner", 64, 64, 3, dock_test_argv);
    select_dock_input();
    Display *wm = XOpenDisplay(nullptr);
    Atom other = XInternAtom(wm, "WM_TAKE_FOCUS", False);
    XEvent motion{};
    motion.type = MotionNotify;
    send_to_icon(wm, motion, PointerMotionMask);
    send_to_icon(wm, client_message(wm, other), NoEventMask);
    send_to_icon(wm, client_message(wm, dock_surface.delete_atom), NoEventMask);
    XEvent after{};
    after.type = Expose;
    send_to_icon(wm, after, ExposureMask);
    XEvent e{};
    int handed_back = 0;
    for (int i = 0; i < 10; i++) handed_back += wait_event(&e, 200);
    // Reaching here means the close request was missed.
    _exit(10 + handed_back);
}

TEST_F(dock_test, close_request_ends_with_status_0_behind_queued_events) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(close_behind_other_events(), ::testing::ExitedWithCode(0), "");
}

// Another client destroys one window of a fresh pair, while the wait blocks
// or before a request names it: the process ends with status 1 and one line.
enum class destroyed { icon_while_waiting, leader_while_waiting, before_a_copy };

// The fixture's connection stays reachable while a child opens a pair of its own.
Display *fixture_display;

void windows_destroyed_by_another_client(destroyed which) {
    fixture_display = dock_surface.display;
    open_dock_window("", "Dayspinner", 64, 64, 3, dock_test_argv);
    select_dock_input();
    watch_dock_connection();
    dock_surface.buffer_pixmap = create_buffer(64, 64);
    Display *other = XOpenDisplay(nullptr);
    Window victim = which == destroyed::icon_while_waiting ? dock_surface.icon_window
                                                           : dock_surface.leader_window;
    XDestroyWindow(other, victim);
    XCloseDisplay(other);
    if (which == destroyed::before_a_copy) {
        flush_buffer(dock_surface.buffer_pixmap);
        XSync(dock_surface.display, False);
        _exit(20);
    }
    XEvent e{};
    int handed_back = 0;
    for (int i = 0; i < 10; i++) handed_back += wait_event(&e, 200);
    _exit(10 + handed_back);
}

TEST_F(dock_test, windows_destroyed_by_another_client_end_with_status_1_and_one_line) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (destroyed which :
         {destroyed::icon_while_waiting, destroyed::leader_while_waiting, destroyed::before_a_copy})
        EXPECT_EXIT(windows_destroyed_by_another_client(which), ::testing::ExitedWithCode(1),
                    "^dock-test: the tile's windows were destroyed by another client\n$")
            << static_cast<int>(which);
}

// The server closes the connection (another client kills it): one line, status 1.
void connection_killed() {
    fixture_display = dock_surface.display;
    open_dock_window("", "Dayspinner", 64, 64, 3, dock_test_argv);
    select_dock_input();
    watch_dock_connection();
    Display *other = XOpenDisplay(nullptr);
    XKillClient(other, dock_surface.icon_window);
    XCloseDisplay(other);
    XEvent e{};
    for (int i = 0; i < 10; i++) wait_event(&e, 200);
    _exit(10);
}

TEST_F(dock_test, a_broken_connection_ends_with_status_1_and_one_line) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(connection_killed(), ::testing::ExitedWithCode(1),
                "^dock-test: connection to the X server .* broken\n$");
}

}  // namespace

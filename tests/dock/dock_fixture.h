// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Opens the dock window pair once per test process, and a second connection
// that looks at it the way a window manager does.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include "dock/dock.h"

#include <X11/Xlib.h>

inline char dock_test_arg0[] = "dock-test";
inline char dock_test_arg1[] = "-p";
inline char dock_test_arg2[] = "two words";
inline char *dock_test_argv[] = {dock_test_arg0, dock_test_arg1, dock_test_arg2, nullptr};

inline Display *observer = nullptr;  // the "window manager" connection

class dock_test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (dock_surface.display == nullptr) {
            open_dock_window("", "Dayspinner", 64, 64, 3, dock_test_argv);
            select_dock_input();
        }
        if (observer == nullptr) observer = XOpenDisplay(nullptr);
    }
    void SetUp() override {
        ASSERT_NE(observer, nullptr) << "no X server: run under tools/with-xvfb.sh";
    }
};

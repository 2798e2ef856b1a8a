// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Shared set-up of the face tests: one dock window on the test server with
// the skin loaded, the pixels of both skin images read back once, and an
// expected 64 x 64 picture assembled from cells of those images.
#pragma once

// GoogleTest comes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include "calendar/calendar.h"
#include "dock/dock.h"
#include "face/face.h"

#include <X11/Xlib.h>

#include <string>
#include <vector>

struct pixel_image {
    int width = 0, height = 0;
    std::vector<unsigned long> pixels;
    unsigned long at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// Reads a rectangle of a drawable back from the server.
pixel_image read_pixels(Drawable d, int x, int y, int w, int h);

// Both skin images as the server holds them.
const pixel_image &face_image();
const pixel_image &sheet_image();

// A pixel value no artwork uses; the buffer is filled with it before a
// drawing step so that every pixel the step leaves alone is recognisable.
constexpr unsigned long sentinel = 0xFE01FD;
void fill_buffer_with_sentinel();

// What the buffer should hold: the sentinel wherever nothing is copied.
struct expected_face {
    pixel_image image;
    expected_face();
    void paste(const pixel_image &src, int sx, int sy, int w, int h, int dx, int dy);
};

// Compares the whole buffer with the expectation and names the first
// differing pixels.
::testing::AssertionResult buffer_matches(const expected_face &expected);

// A plain date record.
icaltimetype make_date(int year, int month, int day);

// The face a test starts from: Gregorian, Latin, Monday first, bar shown,
// no highlight or moon view, today far from every month a test shows.
face_record base_face();

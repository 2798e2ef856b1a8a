// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "face_fixture.h"

#include <X11/Xutil.h>

#include <sstream>

pixel_image read_pixels(Drawable d, int x, int y, int w, int h) {
    pixel_image out;
    out.width = w;
    out.height = h;
    XImage *image = XGetImage(dock_surface.display, d, x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return out;
    out.pixels.resize(static_cast<size_t>(w * h));
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++)
            out.pixels[static_cast<size_t>(j * w + i)] = XGetPixel(image, i, j);
    XDestroyImage(image);
    return out;
}

// The whole pixmap, however large the skin image grows.
static pixel_image read_whole(Pixmap p) {
    Window root;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    XGetGeometry(dock_surface.display, p, &root, &x, &y, &w, &h, &border, &depth);
    return read_pixels(p, 0, 0, static_cast<int>(w), static_cast<int>(h));
}

const pixel_image &face_image() {
    static pixel_image image = read_whole(dock_surface.face_pixmap);
    return image;
}

const pixel_image &sheet_image() {
    static pixel_image image = read_whole(dock_surface.sheet_pixmap);
    return image;
}

void fill_buffer_with_sentinel() {
    Display *display = dock_surface.display;
    GC gc = XCreateGC(display, dock_surface.buffer_pixmap, 0, nullptr);
    XSetForeground(display, gc, sentinel);
    XFillRectangle(display, dock_surface.buffer_pixmap, gc, 0, 0, 64, 64);
    XFreeGC(display, gc);
}

expected_face::expected_face() {
    image.width = image.height = 64;
    image.pixels.assign(64 * 64, sentinel);
}

void expected_face::paste(const pixel_image &src, int sx, int sy, int w, int h, int dx, int dy) {
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            int x = dx + i, y = dy + j;
            if (x >= 0 && x < 64 && y >= 0 && y < 64)
                image.pixels[static_cast<size_t>(y * 64 + x)] = src.at(sx + i, sy + j);
        }
}

::testing::AssertionResult buffer_matches(const expected_face &expected) {
    pixel_image actual = read_pixels(dock_surface.buffer_pixmap, 0, 0, 64, 64);
    if (actual.pixels.size() != expected.image.pixels.size())
        return ::testing::AssertionFailure() << "the buffer could not be read back";
    std::ostringstream report;
    int wrong = 0;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            if (actual.at(x, y) != expected.image.at(x, y) && ++wrong <= 8)
                report << " (" << x << ", " << y << ") is " << std::hex << actual.at(x, y)
                       << " not " << expected.image.at(x, y) << std::dec << ";";
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ:" << report.str();
}

icaltimetype make_date(int year, int month, int day) {
    icaltimetype t = icaltime_null_time();
    t.year = year;
    t.month = month;
    t.day = day;
    t.is_date = 1;
    return t;
}

face_record base_face() {
    face_record face;
    face.week_start = 7;
    face.highlight = icaltime_null_time();
    face.today = make_date(1990, 6, 15);
    return face;
}

namespace {
// One dock window for the whole test program, as at start-up.
class dock_environment : public ::testing::Environment {
  public:
    void SetUp() override {
        static char name[] = "face_tests";
        static char *argv[] = {name, nullptr};
        open_dock_window(nullptr, "dayspinner", 64, 64, 1, argv);
        init_skin();
        XSync(dock_surface.display, False);
    }
};
}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new dock_environment);
    return RUN_ALL_TESTS();
}

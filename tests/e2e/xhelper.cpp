// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Small X client for the end-to-end harness: finds a dock application's
// windows, reads a window's pixels, and sends client messages.
//
//   ds_e2e_xhelper wait-wm TIMEOUT_MS         status 0 once a window manager runs
//   ds_e2e_xhelper wait-managed TIMEOUT_MS    status 0 once it frames a window mapped now
//   ds_e2e_xhelper find-tile RES_NAME         one line of key=value pairs, status 1 if not found
//                                             (the icon window's, then the leader's as leader_*)
//   ds_e2e_xhelper snap WINDOW                the window's pixels as a binary PPM (P6) on stdout
//   ds_e2e_xhelper close WINDOW               WM_PROTOCOLS / WM_DELETE_WINDOW to the window
//   ds_e2e_xhelper message WINDOW ATOM        WM_PROTOCOLS with another atom as first data item
//   ds_e2e_xhelper destroy WINDOW...          destroys the windows, as a misbehaving client may
//
// WINDOW is a number in any base strtoul accepts (0x... from find-tile).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int quiet_errors(Display *, XErrorEvent *) { return 0; }

Window parse_window(const char *text) {
    return static_cast<Window>(std::strtoul(text, nullptr, 0));
}

// Window Maker announces itself by the EWMH check window on the root, not by
// the WM_S<n> selection, and twm by neither: any of these counts, or the
// root's substructure redirection that only a window manager selects.
bool window_manager_running(Display *display) {
    XWindowAttributes root{};
    if (XGetWindowAttributes(display, DefaultRootWindow(display), &root) != 0 &&
        (root.all_event_masks & SubstructureRedirectMask) != 0)
        return true;
    std::string name = "WM_S" + std::to_string(DefaultScreen(display));
    if (XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False)) != None) return true;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                    XA_WINDOW, &type, &format, &count, &after, &data);
    bool found = status == Success && count == 1;
    if (data != nullptr) XFree(data);
    return found;
}

int wait_wm(Display *display, long timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        if (window_manager_running(display)) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 1;
}

// A window manager may take the selection before it serves requests, and lose
// a window mapped meanwhile: a window of our own, mapped again until it is
// framed (its parent is no longer the root), shows that it serves them.
int wait_managed(Display *display, long timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    Window root = DefaultRootWindow(display);
    Window probe = XCreateSimpleWindow(display, root, 0, 0, 16, 16, 0, 0, 0);
    int status = 1;
    for (int round = 0; status != 0 && std::chrono::steady_clock::now() < deadline; ++round) {
        if (round % 10 == 0) XMapWindow(display, probe);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Window root_return = None, parent = root, *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, probe, &root_return, &parent, &children, &count) != 0 &&
            children != nullptr)
            XFree(children);
        if (parent != root) status = 0;
    }
    XDestroyWindow(display, probe);
    XSync(display, False);
    return status;
}

bool class_matches(Display *display, Window w, const char *res_name) {
    XClassHint hint{};
    if (XGetClassHint(display, w, &hint) == 0) return false;
    bool match = hint.res_name != nullptr && std::strcmp(hint.res_name, res_name) == 0;
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return match;
}

// Depth-first search of the whole tree: the leader stays a child of the root,
// but a window manager may reparent anything.
Window find_by_class(Display *display, Window w, const char *res_name) {
    if (class_matches(display, w, res_name)) {
        XWMHints *hints = XGetWMHints(display, w);
        bool leader = hints != nullptr && (hints->flags & IconWindowHint) != 0;
        if (hints != nullptr) XFree(hints);
        if (leader) return w;
    }
    Window root_return = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, w, &root_return, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; i++)
        found = find_by_class(display, children[i], res_name);
    if (children != nullptr) XFree(children);
    return found;
}

// " <prefix>parent=... viewable=... width=... height=... x=... y=..." of one window.
bool print_placement(Display *display, Window w, const char *prefix) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, w, &attributes) == 0) return false;
    Window root = DefaultRootWindow(display);
    Window root_return = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, w, &root_return, &parent, &children, &count);
    if (children != nullptr) XFree(children);
    int root_x = 0, root_y = 0;
    Window child = 0;
    XTranslateCoordinates(display, w, root, 0, 0, &root_x, &root_y, &child);
    std::printf(" %sparent=0x%lx %sviewable=%d %swidth=%d %sheight=%d %sx=%d %sy=%d", prefix,
                parent, prefix, attributes.map_state == IsViewable ? 1 : 0, prefix,
                attributes.width, prefix, attributes.height, prefix, root_x, prefix, root_y);
    return true;
}

int find_tile(Display *display, const char *res_name) {
    Window root = DefaultRootWindow(display);
    Window leader = find_by_class(display, root, res_name);
    if (leader == 0) return 1;
    XWMHints *hints = XGetWMHints(display, leader);
    Window icon = hints != nullptr ? hints->icon_window : 0;
    if (hints != nullptr) XFree(hints);
    std::printf("leader=0x%lx icon=0x%lx root=0x%lx", leader, icon, root);
    bool found = icon != 0 && print_placement(display, icon, "");
    if (found) print_placement(display, leader, "leader_");
    std::printf("\n");
    return found ? 0 : 1;
}

int destroy(Display *display, int count, char **windows) {
    for (int i = 0; i < count; i++) XDestroyWindow(display, parse_window(windows[i]));
    XSync(display, False);
    return 0;
}

int snap(Display *display, Window w) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, w, &attributes) == 0) return 1;
    XImage *image =
        XGetImage(display, w, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) return 1;
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<size_t>(image->width) * image->height * 3);
    // Channels from the visual's masks, scaled to 8 bits.
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0) return 0u;
        int shift = 0;
        while (((mask >> shift) & 1) == 0) shift++;
        unsigned long max = mask >> shift;
        return static_cast<unsigned>(((pixel & mask) >> shift) * 255 / max);
    };
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width; x++) {
            unsigned long pixel = XGetPixel(image, x, y);
            rgb.push_back(static_cast<unsigned char>(channel(pixel, image->red_mask)));
            rgb.push_back(static_cast<unsigned char>(channel(pixel, image->green_mask)));
            rgb.push_back(static_cast<unsigned char>(channel(pixel, image->blue_mask)));
        }
    std::printf("P6\n%d %d\n255\n", image->width, image->height);
    std::fwrite(rgb.data(), 1, rgb.size(), stdout);
    XDestroyImage(image);
    return 0;
}

int send_protocol(Display *display, Window w, const char *atom_name) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, atom_name, False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, w, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s wait-wm|find-tile|snap|close|message ...\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "%s: cannot open display\n", argv[0]);
        return 2;
    }
    // Windows come and go while we look at them; a vanished window is "not found".
    XSetErrorHandler(quiet_errors);
    std::string command = argv[1];
    int status = 2;
    if (command == "wait-wm" && argc == 3)
        status = wait_wm(display, std::atol(argv[2]));
    else if (command == "wait-managed" && argc == 3)
        status = wait_managed(display, std::atol(argv[2]));
    else if (command == "find-tile" && argc == 3)
        status = find_tile(display, argv[2]);
    else if (command == "snap" && argc == 3)
        status = snap(display, parse_window(argv[2]));
    else if (command == "close" && argc == 3)
        status = send_protocol(display, parse_window(argv[2]), "WM_DELETE_WINDOW");
    else if (command == "destroy" && argc >= 3)
        status = destroy(display, argc - 2, argv + 2);
    else if (command == "message" && argc == 4)
        status = send_protocol(display, parse_window(argv[2]), argv[3]);
    else
        std::fprintf(stderr, "%s: bad arguments\n", argv[0]);
    XCloseDisplay(display);
    return status;
}

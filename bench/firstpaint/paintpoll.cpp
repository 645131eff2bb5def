// paintpoll: starts a program and reports when its window first shows a
// painted page, reading the window with XGetImage every 20 ms. It never
// grabs the X server, so the program it times runs as it would alone.
//
// Usage: paintpoll [-n TITLE] [-c COLOURS] [-t SECONDS] -- PROGRAM [ARG...]
//
// The window is the first mapped one of the program's process (_NET_WM_PID)
// whose title begins with TITLE. The page counts as painted when the band of
// the window from 30 pixels below its top down to 40% of its height (below
// the menu bar, above the middle where an opening notice sits) holds at
// least COLOURS distinct colours (default 4). Prints "window MS" when the
// window is found and "paint MS" when the page is painted (milliseconds
// since the program was started), then stops the program, unless -k is
// given: then it keeps it running and prints its process id ("pid PID").
// Exit status 0 when the page was painted, 1 when the time ran out.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }  // a window may vanish between two calls

long windowPid(Display* dpy, Window w, Atom pidAtom) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        if (type == XA_CARDINAL && format == 32 && count == 1) pid = *reinterpret_cast<long*>(data);
        XFree(data);
    }
    return pid;
}

bool titleStarts(Display* dpy, Window w, const std::string& prefix) {
    if (prefix.empty()) return true;
    XTextProperty text{};
    bool ok = false;
    if (XGetWMName(dpy, w, &text) && text.value) {
        ok = std::strncmp(reinterpret_cast<const char*>(text.value), prefix.c_str(), prefix.size()) == 0;
        XFree(text.value);
    }
    return ok;
}

// The program's window, searched through the root's children and, under a
// window manager, the frames it puts around them.
Window findWindow(Display* dpy, Window parent, long pid, const std::string& prefix, Atom pidAtom, int depth) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(dpy, parent, &root, &up, &children, &n)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(dpy, children[i], &a)) continue;
        if (a.map_state == IsViewable && windowPid(dpy, children[i], pidAtom) == pid &&
            titleStarts(dpy, children[i], prefix) && a.width > 100 && a.height > 100) {
            found = children[i];
        } else if (depth > 0) {
            found = findWindow(dpy, children[i], pid, prefix, pidAtom, depth - 1);
        }
    }
    if (children) XFree(children);
    return found;
}

// Distinct colours of the band, counted up to limit.
int bandColours(Display* dpy, Window w, int limit) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(dpy, w, &a) || a.map_state != IsViewable) return 0;
    const int top = 30, bottom = a.height * 2 / 5;
    if (bottom <= top || a.width <= 0) return 0;
    XImage* image = XGetImage(dpy, w, 0, top, static_cast<unsigned>(a.width), static_cast<unsigned>(bottom - top),
                              AllPlanes, ZPixmap);
    if (!image) return 0;
    std::unordered_set<unsigned long> seen;
    for (int y = 0; y < image->height && static_cast<int>(seen.size()) < limit; ++y) {
        for (int x = 0; x < image->width; ++x) seen.insert(XGetPixel(image, x, y));
    }
    XDestroyImage(image);
    return static_cast<int>(seen.size());
}

int usage() {
    std::fputs("usage: paintpoll [-n TITLE] [-c COLOURS] [-t SECONDS] [-k] -- PROGRAM [ARG...]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string prefix;
    int colours = 4;
    double timeout = 60;
    bool keep = false;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "-k") {
            keep = true;
        } else if (i + 1 < argc && arg == "-n") {
            prefix = argv[++i];
        } else if (i + 1 < argc && arg == "-c") {
            colours = std::atoi(argv[++i]);
        } else if (i + 1 < argc && arg == "-t") {
            timeout = std::atof(argv[++i]);
        } else {
            return usage();
        }
    }
    if (i >= argc || colours < 2) return usage();
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fputs("paintpoll: cannot open the display\n", stderr);
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[i], argv + i);
        std::perror(argv[i]);
        _exit(127);
    }
    if (child < 0) return 2;

    Window win = 0;
    int status = 1;
    const long limit = static_cast<long>(timeout * 1000);
    while (msSince(start) < limit) {
        if (waitpid(child, nullptr, WNOHANG) == child) {
            std::fputs("paintpoll: the program ended\n", stderr);
            return 1;
        }
        if (!win) {
            win = findWindow(dpy, DefaultRootWindow(dpy), child, prefix, pidAtom, 2);
            if (win) std::printf("window %ld\n", msSince(start));
        }
        if (win && bandColours(dpy, win, colours) >= colours) {
            std::printf("paint %ld\n", msSince(start));
            status = 0;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fflush(stdout);
    if (keep && status == 0) {
        std::printf("pid %ld\nwid %lu\n", static_cast<long>(child), static_cast<unsigned long>(win));
        return 0;
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(dpy);
    return status;
}

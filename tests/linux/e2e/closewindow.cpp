// kestrin-e2e-close WINDOW: asks the X window WINDOW (decimal or 0x hex) to close, as a window
// manager does when its close box is clicked: a WM_DELETE_WINDOW client message. The test display
// has no window manager, so the flows send it themselves.
//
// Exit status: 0 when the message went out; 1 when the window does not exist or does not take
// WM_DELETE_WINDOW (it would then have to be killed, which is no close); 2 for a wrong command line.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool windowError = false;

int onError(Display*, XErrorEvent*) {
    windowError = true;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrin-e2e-close WINDOW\n");
        return 2;
    }
    char* end = nullptr;
    const unsigned long id = std::strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || id == 0) {
        std::fprintf(stderr, "kestrin-e2e-close: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "kestrin-e2e-close: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(onError);
    const Window window = id;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

    Atom* listed = nullptr;
    int count = 0;
    bool takesDelete = false;
    if (XGetWMProtocols(display, window, &listed, &count) != 0) {
        for (int i = 0; i < count; ++i) {
            takesDelete = takesDelete || listed[i] == deleteWindow;
        }
        XFree(listed);
    }
    XSync(display, False);
    if (windowError || !takesDelete) {
        std::fprintf(stderr, "kestrin-e2e-close: window %s %s\n", argv[1],
                     windowError ? "does not exist" : "does not take WM_DELETE_WINDOW");
        XCloseDisplay(display);
        return 1;
    }

    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    const bool sent = !windowError;
    XCloseDisplay(display);
    if (!sent) {
        std::fprintf(stderr, "kestrin-e2e-close: window %s went before the message\n", argv[1]);
        return 1;
    }
    return 0;
}

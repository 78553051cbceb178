// kestrin-e2e-drop WINDOW X Y FILE: drags FILE onto the X window WINDOW (decimal or 0x hex, a
// top-level window) and drops it at X, Y on the screen, as a file manager does: the XDND protocol
// with the file's URI as text/uri-list. Status 0 when the window took the drop and said it was
// done, 1 when it refused it, 2 for a wrong command line or no answer within ten seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <sys/select.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

struct Atoms {
    Atom aware, selection, enter, position, status, drop, finished, leave, copy, uriList, targets, stamp;

    explicit Atoms(Display* d)
        : aware(XInternAtom(d, "XdndAware", False)), selection(XInternAtom(d, "XdndSelection", False)),
          enter(XInternAtom(d, "XdndEnter", False)), position(XInternAtom(d, "XdndPosition", False)),
          status(XInternAtom(d, "XdndStatus", False)), drop(XInternAtom(d, "XdndDrop", False)),
          finished(XInternAtom(d, "XdndFinished", False)), leave(XInternAtom(d, "XdndLeave", False)),
          copy(XInternAtom(d, "XdndActionCopy", False)), uriList(XInternAtom(d, "text/uri-list", False)),
          targets(XInternAtom(d, "TARGETS", False)), stamp(XInternAtom(d, "KESTRIN_E2E_STAMP", False)) {}
};

// file:// and the path, every byte but letters, digits and -._~/ written as %XX.
std::string fileUri(const std::string& path) {
    std::string uri = "file://";
    for (const unsigned char c : path) {
        if (std::isalnum(c) || std::string("-._~/").find(static_cast<char>(c)) != std::string::npos) {
            uri += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            uri += hex;
        }
    }
    return uri + "\r\n";
}

void sendMessage(Display* d, Window target, Atom type, long l0, long l1, long l2, long l3, long l4) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    const long data[5] = {l0, l1, l2, l3, l4};
    std::copy(data, data + 5, e.xclient.data.l);
    XSendEvent(d, target, False, NoEventMask, &e);
    XFlush(d);
}

// Hands the URI to a window that asks for the dragged data.
void answer(Display* d, const Atoms& a, const XSelectionRequestEvent& request, const std::string& uri) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = request.property != None ? request.property : request.target;
    if (request.target == a.uriList) {
        XChangeProperty(d, request.requestor, reply.xselection.property, a.uriList, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(uri.data()), static_cast<int>(uri.size()));
    } else if (request.target == a.targets) {
        const Atom offered[2] = {a.targets, a.uriList};
        XChangeProperty(d, request.requestor, reply.xselection.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 2);
    } else {
        reply.xselection.property = None;
    }
    XSendEvent(d, request.requestor, False, NoEventMask, &reply);
    XFlush(d);
}

// The next event, waiting until deadline at most; false when none came.
bool nextEvent(Display* d, std::time_t deadline, XEvent& event) {
    while (XPending(d) == 0) {
        const std::time_t now = std::time(nullptr);
        if (now >= deadline) {
            return false;
        }
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(ConnectionNumber(d), &fds);
        timeval wait{deadline - now, 0};
        select(ConnectionNumber(d) + 1, &fds, nullptr, nullptr, &wait);
    }
    XNextEvent(d, &event);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Display* d = argc == 5 ? XOpenDisplay(nullptr) : nullptr;
    if (d == nullptr) {
        return 2;
    }
    const Atoms a(d);
    const Window target = std::strtoul(argv[1], nullptr, 0);
    const long x = std::strtol(argv[2], nullptr, 10);
    const long y = std::strtol(argv[3], nullptr, 10);
    const std::string uri = fileUri(argv[4]);
    const Window source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(d, source, PropertyChangeMask);

    // A server time for the selection and the messages: the time of a change to our own window.
    XChangeProperty(d, source, a.stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event{};
    const std::time_t deadline = std::time(nullptr) + 10;
    Time now = CurrentTime;
    while (now == CurrentTime && nextEvent(d, deadline, event)) {
        if (event.type == PropertyNotify && event.xproperty.atom == a.stamp) {
            now = event.xproperty.time;
        }
    }
    XSetSelectionOwner(d, a.selection, source, now);

    // The version both sides speak: the window's, up to 5.
    long version = 5;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* aware = nullptr;
    if (XGetWindowProperty(d, target, a.aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after,
                           &aware) == Success &&
        aware != nullptr) {
        if (count == 1) {
            version = std::min(version, static_cast<long>(*reinterpret_cast<Atom*>(aware)));
        }
        XFree(aware);
    }
    const long from = static_cast<long>(source);
    sendMessage(d, target, a.enter, from, version << 24, static_cast<long>(a.uriList), 0, 0);
    sendMessage(d, target, a.position, from, 0, (x << 16) | (y & 0xFFFF), static_cast<long>(now),
                static_cast<long>(a.copy));

    int result = 2;
    bool dropped = false;
    while (result == 2 && nextEvent(d, deadline, event)) {
        if (event.type == SelectionRequest) {
            answer(d, a, event.xselectionrequest, uri);
        } else if (event.type == ClientMessage && event.xclient.message_type == a.status && !dropped) {
            if ((event.xclient.data.l[1] & 1) == 0) {
                sendMessage(d, target, a.leave, from, 0, 0, 0, 0);
                result = 1;
            } else {
                sendMessage(d, target, a.drop, from, 0, static_cast<long>(now), 0, 0);
                dropped = true;
            }
        } else if (event.type == ClientMessage && event.xclient.message_type == a.finished) {
            result = 0;
        }
    }
    XDestroyWindow(d, source);
    XCloseDisplay(d);
    return result;
}

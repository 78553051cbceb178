// kestrin-e2e-drop WINDOW X Y FILE: drags FILE onto the X window WINDOW (decimal or 0x hex, a
// top-level window) and drops it at X, Y on the screen, as a file manager does: the XDND protocol
// with the file's URI as text/uri-list. Status 0 when the window took the drop and said it was
// done, 1 when it refused it, 2 for a wrong command line or no answer within ten seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

struct Atoms {
    Atom selection, enter, position, status, drop, finished, leave, copy, uriList, stamp;

    explicit Atoms(Display* d)
        : selection(XInternAtom(d, "XdndSelection", False)), enter(XInternAtom(d, "XdndEnter", False)),
          position(XInternAtom(d, "XdndPosition", False)), status(XInternAtom(d, "XdndStatus", False)),
          drop(XInternAtom(d, "XdndDrop", False)), finished(XInternAtom(d, "XdndFinished", False)),
          leave(XInternAtom(d, "XdndLeave", False)), copy(XInternAtom(d, "XdndActionCopy", False)),
          uriList(XInternAtom(d, "text/uri-list", False)), stamp(XInternAtom(d, "KESTRIN_E2E_STAMP", False)) {
    }
};

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

// Hands the URI to the window that asks for the dragged data (as text/uri-list, the one type offered).
void answer(Display* d, const XSelectionRequestEvent& request, const std::string& uri) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = request.property != None ? request.property : request.target;
    XChangeProperty(d, request.requestor, reply.xselection.property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(uri.data()), static_cast<int>(uri.size()));
    XSendEvent(d, request.requestor, False, NoEventMask, &reply);
    XFlush(d);
}

// The next event, waiting until deadline at most; false when none came.
bool nextEvent(Display* d, std::time_t deadline, XEvent& event) {
    while (XPending(d) == 0) {
        if (std::time(nullptr) >= deadline) {
            return false;
        }
        usleep(10000);
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
    // The flows' paths need no escaping in a URI.
    const std::string uri = std::string("file://") + argv[4] + "\r\n";
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

    const long from = static_cast<long>(source);
    // Version 5 of the protocol, which Qt and Wine both speak.
    sendMessage(d, target, a.enter, from, 5L << 24, static_cast<long>(a.uriList), 0, 0);
    sendMessage(d, target, a.position, from, 0, (x << 16) | (y & 0xFFFF), static_cast<long>(now),
                static_cast<long>(a.copy));

    int result = 2;
    bool dropped = false;
    while (result == 2 && nextEvent(d, deadline, event)) {
        if (event.type == SelectionRequest) {
            answer(d, event.xselectionrequest, uri);
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

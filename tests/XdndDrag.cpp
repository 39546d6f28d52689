// An X11 drag source: drags the files named on the command line onto the
// top-level window titled by the first argument, through the XDND protocol
// (version 5), as a file manager would, and waits until the target has taken
// them. Exit status 0 when the drop was accepted.
//
//   xdnd-drag TITLE FILE...
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <ctime>

namespace {

constexpr long XdndVersion = 5;
constexpr int TimeoutSeconds = 20;

Window FindByTitle(Display* display, Window root, const std::string& title)
{
    char* name = nullptr;
    if (XFetchName(display, root, &name) && name != nullptr) {
        const bool match = title == name;
        XFree(name);
        if (match) return root;
    }
    Window parent, unused;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &unused, &parent, &children, &count)) return None;
    Window found = None;
    for (unsigned i = 0; i < count && found == None; ++i) found = FindByTitle(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

void Send(Display* display, Window target, Atom type, long l0, long l1, long l2, long l3, long l4)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

// A path as a URI's path: bytes other than letters, digits, "-._~/" as %XX.
std::string Escaped(const char* path)
{
    std::string out;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(path); *c != 0; ++c) {
        if (std::isalnum(*c) || std::strchr("-._~/", *c) != nullptr) {
            out += static_cast<char>(*c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", *c);
            out += hex;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: xdnd-drag TITLE FILE...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 2;
    const Window root = DefaultRootWindow(display);
    const Window target = FindByTitle(display, root, argv[1]);
    if (target == None) {
        std::fprintf(stderr, "xdnd-drag: no window titled %s\n", argv[1]);
        return 1;
    }
    std::string uris;
    for (int i = 2; i < argc; ++i) uris += "file://" + Escaped(argv[i]) + "\r\n";

    const Window source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    const Atom selection = XInternAtom(display, "XdndSelection", False);
    const Atom enter = XInternAtom(display, "XdndEnter", False);
    const Atom position = XInternAtom(display, "XdndPosition", False);
    const Atom status = XInternAtom(display, "XdndStatus", False);
    const Atom drop = XInternAtom(display, "XdndDrop", False);
    const Atom finished = XInternAtom(display, "XdndFinished", False);
    const Atom copy = XInternAtom(display, "XdndActionCopy", False);
    const Atom uriList = XInternAtom(display, "text/uri-list", False);
    XSetSelectionOwner(display, selection, source, CurrentTime);

    // The middle of the target, in root coordinates.
    XWindowAttributes attributes;
    XGetWindowAttributes(display, target, &attributes);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, target, root, attributes.width / 2, attributes.height / 2, &x, &y, &child);
    XWarpPointer(display, None, root, 0, 0, 0, 0, x, y);

    Send(display, target, enter, static_cast<long>(source), XdndVersion << 24, static_cast<long>(uriList), 0, 0);
    Send(display, target, position, static_cast<long>(source), 0, (static_cast<long>(x) << 16) | y, CurrentTime,
         static_cast<long>(copy));

    bool dropped = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(TimeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!XPending(display)) {
            struct timespec pause = {0, 10'000'000};
            nanosleep(&pause, nullptr);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == status && !dropped) {
            if ((event.xclient.data.l[1] & 1) == 0) {
                std::fprintf(stderr, "xdnd-drag: the target refused the files\n");
                return 1;
            }
            Send(display, target, drop, static_cast<long>(source), 0, CurrentTime, 0, 0);
            dropped = true;
        } else if (event.type == SelectionRequest) {
            XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == uriList) {
                XChangeProperty(display, request.requestor, request.property, uriList, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            XFlush(display);
        } else if (event.type == ClientMessage && event.xclient.message_type == finished) {
            XCloseDisplay(display);
            return 0;
        }
    }
    std::fprintf(stderr, "xdnd-drag: no answer from the target\n");
    return 1;
}

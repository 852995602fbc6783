#include "x11session.h"

#include <X11/Xlib.h>

X11Session::X11Session() : display(XOpenDisplay(nullptr)) {}

X11Session::~X11Session()
{
    if (display)
        XCloseDisplay(display);
}

bool X11Session::SendWindowClose(unsigned long window) const
{
    if (!display)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    return sent != 0;
}

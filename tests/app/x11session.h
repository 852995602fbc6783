#pragma once

struct _XDisplay;

// One connection to the X server, held for a whole test run: Xvfb resets itself whenever
// its last client leaves and refuses connections meanwhile, which would fail the launchers
// started between two cases.
class X11Session
{
public:
    X11Session();
    ~X11Session();
    X11Session(const X11Session &) = delete;
    X11Session &operator=(const X11Session &) = delete;

    bool IsOpen() const { return display != nullptr; }

    // Asks a window to close the way a window manager does (WM_DELETE_WINDOW), so that its
    // program ends through its normal close path; the test server runs no window manager.
    bool SendWindowClose(unsigned long window) const;

private:
    _XDisplay *display;
};

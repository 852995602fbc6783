#pragma once

#include <QString>

namespace LocalChannel {

// Where a channel keeps its lock and its socket: a directory of the user's own, so that no
// other user can take the names first or listen in their place. Never a shared temporary
// directory: the user's runtime directory; else a private directory of ours (mode 0700,
// owned by the user, not a link) in the temporary directory, under its usual name or, when
// another user holds that, one of a few numbered ones; else the caller's directory (for
// example its configuration directory). The first whose socket name fits is taken.
class Place
{
public:
    Place() = default;
    // The name must be usable as a file name. The fallback directory is created if missing.
    static Place ForName(const QString &name, const QString &fallbackDirectory);
    // A place in exactly this directory (which must already be the user's own).
    Place(const QString &directory, const QString &name);

    // False when no directory of the user's own was found.
    bool IsValid() const { return !directory.isEmpty(); }
    QString Directory() const { return directory; }
    QString LockPath() const;
    // The socket's path on Unix, a pipe name on Windows.
    QString ServerName() const;
    bool ServerNameFits() const;
    // Present while the owner of the lock cannot listen, so that clients give up at once.
    QString UnreachablePath() const;

private:
    QString directory;
    QString name;
};

} // namespace LocalChannel

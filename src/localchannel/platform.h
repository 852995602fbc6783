#pragma once

#include <QString>

// What differs between platforms, in platform_posix.cpp and platform_windows.cpp; the rest of
// the library is portable.
namespace LocalChannel {

// Who runs this process, so that two users never share a channel name.
QString UserKey();
// The user's runtime directory, or empty.
QString RuntimeDirectory();
// True when the path is a directory (not a link to one) owned by the user that no one else
// may change; strictly private means that no one else may enter it either.
bool IsOwnDirectory(const QString &path, bool strictlyPrivate);
// Creates the directory for the user alone (mode 0700) unless it exists; true when it is
// then strictly private.
bool MakePrivateDirectory(const QString &path);
// The longest server name, in bytes of the file-name encoding, that can be listened on.
qsizetype MaxServerNameBytes();

} // namespace LocalChannel

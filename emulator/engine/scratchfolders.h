#pragma once

#include <QString>

#include <memory>

class QTemporaryDir;

// Folders of one run that the browser writes and nobody else needs: its temporary files in
// the runtime folder, a private profile among the caches. Each is named after this process,
// so that those of an emulator that was killed are removed by the next one.
namespace ScratchFolders {

// A new folder below `parent` (created, mode 0700), removed with the object; null when
// it cannot be made. Folders there of processes that have ended are removed first. Without
// a parent, a private folder among the shared temporary files.
std::unique_ptr<QTemporaryDir> Make(const QString &parent);

// The parents: below the runtime location (none when its path is too long for the browser's
// socket) and the cache location.
QString TemporaryParent();
QString PrivateProfileParent();

} // namespace ScratchFolders

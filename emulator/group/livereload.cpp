#include "group/livereload.h"

#include "engine/browserpage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool IsSkipped(const QString &name)
{
    return name.startsWith(QLatin1Char('.')) || name == QLatin1String("node_modules");
}

// Where the emulator and its browser write as they run: watched, a page below them would
// reload for ever.
QStringList OwnFolders()
{
    QStringList folders;
    for (const auto location :
         {QStandardPaths::GenericCacheLocation, QStandardPaths::CacheLocation,
          QStandardPaths::RuntimeLocation, QStandardPaths::AppLocalDataLocation,
          QStandardPaths::AppConfigLocation, QStandardPaths::GenericConfigLocation}) {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.isEmpty())
            folders.append(QDir::cleanPath(path));
    }
    return folders;
}

} // namespace

LiveReload::LiveReload(BrowserPage *watchedPage, QObject *parent)
    : QObject(parent), page(watchedPage), ownFolders(OwnFolders())
{
    debounce.setSingleShot(true);
    debounce.setInterval(DebounceMs);
    connect(&debounce, &QTimer::timeout, this, &LiveReload::OnChanged);
    returnPoll.setInterval(ReturnPollMs);
    connect(&returnPoll, &QTimer::timeout, this, [this] {
        if (QFileInfo(folder).isDir()) {
            returnPoll.stop();
            debounce.start();
        }
    });
    connect(page, &BrowserPage::urlChanged, this, &LiveReload::Watch);
}

void LiveReload::SetEnabled(bool on)
{
    enabled = on;
    Watch();
}

void LiveReload::SetIgnoredFile(const QString &path)
{
    ignoredFile = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
    Watch();
}

void LiveReload::SetWatchFolder(const QString &path)
{
    ownFolder = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
    Watch();
}

QString LiveReload::WantedFolder() const
{
    if (!enabled)
        return {};
    if (!ownFolder.isEmpty())
        return ownFolder;
    const QUrl url = page->url();
    return url.isLocalFile() ? QFileInfo(url.toLocalFile()).absolutePath() : QString();
}

// While the folder is gone nothing reloads: the page would show an error and lose its address.
void LiveReload::OnChanged()
{
    const bool saved = fileSaved;
    fileSaved = false;
    const auto before = seen;
    Watch();
    if (QFileInfo(folder).isDir() && (saved || seen != before))
        page->Reload();
}

void LiveReload::Watch()
{
    const QString wanted = WantedFolder();
    if (wanted != folder) {
        debounce.stop();
        returnPoll.stop();
        folder = wanted;
        boundReported = false;
        seen.clear();
    }
    delete watcher;
    watcher = nullptr;
    if (folder.isEmpty())
        return;
    watcher = new QFileSystemWatcher(this);
    // A file saved in place always reloads. A folder, and the parent that tells when the
    // folder is replaced, also change for files not watched: those reload only when what is
    // watched looks different afterwards.
    connect(watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        fileSaved = true;
        debounce.start();
    });
    connect(watcher, &QFileSystemWatcher::directoryChanged, &debounce, qOverload<>(&QTimer::start));
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder)
        watcher->addPath(parent);
    if (!QFileInfo(folder).isDir()) {
        // Deleted, or being replaced: looked for until it is back.
        seen.clear();
        returnPoll.start();
        return;
    }
    // Files saved by replacing them, and folders made, are new: the tree is watched afresh.
    // A folder's own watch sees entries come and go, not a file's content change.
    QStringList folders{folder};
    QStringList files;
    seen.clear();
    // A folder put in its place is another folder, even with files of the same times.
    seen.insert(folder, {QFileInfo(folder).birthTime(), -1});
    bool bounded = false;
    for (qsizetype next = 0; next < folders.size(); ++next) {
        const QDir dir(folders.at(next));
        for (const QFileInfo &entry :
             dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (entry.isDir() && !entry.isSymLink() && !IsSkipped(entry.fileName()) &&
                !ownFolders.contains(QDir::cleanPath(entry.absoluteFilePath()))) {
                if (folders.size() < MaxWatchedFolders)
                    folders.append(entry.filePath());
                else
                    bounded = true;
            } else if (entry.isFile() && (ignoredFile.isEmpty() ||
                                          !entry.absoluteFilePath().startsWith(ignoredFile))) {
                if (files.size() < MaxWatchedFiles) {
                    files.append(entry.filePath());
                    seen.insert(entry.filePath(), {entry.lastModified(), entry.size()});
                } else {
                    bounded = true;
                }
            }
        }
    }
    // The system's own limit on watches may come first.
    bounded = !watcher->addPaths(folders + files).isEmpty() || bounded;
    if (bounded && !boundReported)
        Q_EMIT notice(QStringLiteral("Live reload watches only the first %1 folders and %2 "
                                     "files under %3")
                          .arg(MaxWatchedFolders)
                          .arg(MaxWatchedFiles)
                          .arg(QDir::toNativeSeparators(folder)));
    boundReported = bounded;
}

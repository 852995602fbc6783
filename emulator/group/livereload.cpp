#include "group/livereload.h"

#include "engine/browserpage.h"

#include <QDir>
#include <QFileInfo>

LiveReload::LiveReload(BrowserPage *watchedPage, QObject *parent)
    : QObject(parent), page(watchedPage)
{
    debounce.setSingleShot(true);
    debounce.setInterval(DebounceMs);
    connect(&debounce, &QTimer::timeout, this, [this] {
        // Files saved by replacing them are new files: they are watched afresh.
        Watch();
        page->Reload();
    });
    connect(page, &BrowserPage::urlChanged, this, &LiveReload::Watch);
}

void LiveReload::SetEnabled(bool on)
{
    enabled = on;
    Watch();
}

void LiveReload::Watch()
{
    const QUrl url = page->url();
    const QString wanted =
        enabled && url.isLocalFile() ? QFileInfo(url.toLocalFile()).absolutePath() : QString();
    if (wanted.isEmpty() || wanted != folder) {
        debounce.stop();
        delete watcher;
        watcher = nullptr;
        folder = wanted;
        if (folder.isEmpty())
            return;
        watcher = new QFileSystemWatcher(this);
        connect(watcher, &QFileSystemWatcher::fileChanged, &debounce, qOverload<>(&QTimer::start));
        connect(watcher, &QFileSystemWatcher::directoryChanged, &debounce,
                qOverload<>(&QTimer::start));
        watcher->addPath(folder);
    }
    // A folder's own watch sees files come and go, not a file's content change.
    const QStringList files =
        QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    if (files.size() > MaxWatchedFiles)
        return;
    QStringList paths;
    for (const QString &name : files)
        paths.append(QDir(folder).filePath(name));
    if (!watcher->files().isEmpty())
        watcher->removePaths(watcher->files());
    if (!paths.isEmpty())
        watcher->addPaths(paths);
}

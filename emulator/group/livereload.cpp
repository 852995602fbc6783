#include "group/livereload.h"

#include "engine/browserpage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

bool IsSkipped(const QString &name)
{
    return name.startsWith(QLatin1Char('.')) || name == QLatin1String("node_modules");
}

} // namespace

LiveReload::LiveReload(BrowserPage *watchedPage, QObject *parent)
    : QObject(parent), page(watchedPage)
{
    debounce.setSingleShot(true);
    debounce.setInterval(DebounceMs);
    connect(&debounce, &QTimer::timeout, this, &LiveReload::OnChanged);
    returnPoll.setInterval(ReturnPollMs);
    connect(&returnPoll, &QTimer::timeout, this, [this] {
        if (QFileInfo(folder).isDir()) {
            returnPoll.stop();
            OnTreeChanged();
        }
    });
    connect(page, &BrowserPage::urlChanged, this, &LiveReload::Watch);
}

void LiveReload::SetEnabled(bool on)
{
    enabled = on;
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
    const bool inTree = treeChanged;
    treeChanged = false;
    const QHash<QString, QDateTime> before = seen;
    Watch();
    if (QFileInfo(folder).isDir() && (inTree || seen != before))
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
    connect(watcher, &QFileSystemWatcher::fileChanged, this, &LiveReload::OnTreeChanged);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        // The parent tells when the folder is replaced, but also of its neighbours: those
        // reload only when what is watched looks different afterwards.
        if (path == QFileInfo(folder).absolutePath() && path != folder)
            debounce.start();
        else
            OnTreeChanged();
    });
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
    bool bounded = false;
    for (qsizetype next = 0; next < folders.size(); ++next) {
        const QDir dir(folders.at(next));
        for (const QFileInfo &entry :
             dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (entry.isDir() && !entry.isSymLink() && !IsSkipped(entry.fileName())) {
                if (folders.size() < MaxWatchedFolders)
                    folders.append(entry.filePath());
                else
                    bounded = true;
            } else if (entry.isFile()) {
                if (files.size() < MaxWatchedFiles) {
                    files.append(entry.filePath());
                    seen.insert(entry.filePath(), entry.lastModified());
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

void LiveReload::OnTreeChanged()
{
    treeChanged = true;
    debounce.start();
}

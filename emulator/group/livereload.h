#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <utility>

class BrowserPage;

// Reloads a page shown from a file when a file in its folder, or in a folder below, changes:
// a stylesheet saved in css/ counts too. With a folder of its own (-watch), any page reloads
// when a file under that folder changes, one served by a development server too. Hidden
// folders and node_modules are not watched. A folder deleted and made again, or replaced, is
// watched again once it is back. Changes close together reload once.
class LiveReload : public QObject
{
    Q_OBJECT

public:
    static constexpr int DebounceMs = 200;
    // How often a watched folder that went is looked for.
    static constexpr int ReturnPollMs = 500;
    // Beyond these, further folders and files are not watched; the user is told.
    static constexpr int MaxWatchedFolders = 256;
    static constexpr int MaxWatchedFiles = 4096;

    LiveReload(BrowserPage *page, QObject *parent = nullptr);

    void SetEnabled(bool enabled);
    // Empty: the folder of the file the page shows.
    void SetWatchFolder(const QString &folder);
    // A file this program writes, such as its state file, never reloads the page; nor do
    // the files it is saved through, named after it.
    void SetIgnoredFile(const QString &path);

Q_SIGNALS:
    // For the status line: that some folders or files under the folder are not watched.
    void notice(const QString &text);

private:
    QString WantedFolder() const;
    void Watch();
    void OnChanged();

    BrowserPage *page;
    QFileSystemWatcher *watcher = nullptr;
    QTimer debounce;
    QTimer returnPoll;
    QString folder; // watched, or awaited when it does not exist
    QString ownFolder;
    bool enabled = false;
    bool boundReported = false;
    bool fileSaved = false;
    QString ignoredFile;
    const QStringList ownFolders;
    // Every file watched, when it last changed and its size.
    QHash<QString, std::pair<QDateTime, qint64>> seen;
};

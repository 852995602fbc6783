#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class BrowserPage;

// Reloads a page shown from a file when that file, or another in its folder, changes: a
// stylesheet or script saved beside it counts too. Changes close together reload once.
class LiveReload : public QObject
{
    Q_OBJECT

public:
    static constexpr int DebounceMs = 200;
    // A folder with more files is watched for files added and removed only.
    static constexpr int MaxWatchedFiles = 256;

    LiveReload(BrowserPage *page, QObject *parent = nullptr);

    void SetEnabled(bool enabled);

private:
    void Watch();

    BrowserPage *page;
    QFileSystemWatcher *watcher = nullptr;
    QTimer debounce;
    QString folder;
    bool enabled = false;
};

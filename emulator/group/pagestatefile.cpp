#include "group/pagestatefile.h"

#include "core/emulatorrequest.h"
#include "engine/browserpage.h"
#include "ui/emulatorwindow.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSaveFile>
#include <QStatusBar>

namespace {

QJsonArray RectArray(const QRect &rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

} // namespace

PageStateFile::PageStateFile(EmulatorWindow *emulatorWindow, const QString &filePath)
    : QObject(emulatorWindow), window(emulatorWindow), path(filePath)
{
    connect(window->page(), &BrowserPage::loadFinished, this, [this] { ++loads; });
    connect(&timer, &QTimer::timeout, this, [this] {
        if (asking)
            return;
        // A page that never came is still told of, to whoever waits for the file.
        if (!window->page()->isActive()) {
            Update(-1, window->page()->title());
            return;
        }
        asking = true;
        const QPointer<PageStateFile> self(this);
        // The follow script's world, where the page's scripts cannot change what is read;
        // the fraction is -1 before the script runs.
        window->page()->Evaluate(
            QStringLiteral("[window.__velmoraGroup ? window.__velmoraGroup.fraction() : -1,"
                           " document.title]"),
            [self](const QJsonValue &value, const QString &problem) {
                if (!self)
                    return;
                self->asking = false;
                const QJsonArray read = value.toArray();
                if (problem.isEmpty() && read.size() == 2)
                    self->Update(read.at(0).toDouble(-1), read.at(1).toString());
            },
            BrowserPage::World::Isolated);
    });
    timer.start(IntervalMs);
}

void PageStateFile::Update(double fraction, const QString &title)
{
    const QJsonObject state{{QStringLiteral("address"), window->page()->url().toString()},
                            {QStringLiteral("title"), title},
                            {QStringLiteral("fraction"), fraction},
                            {QStringLiteral("loads"), loads},
                            {QStringLiteral("frame"), RectArray(window->frameGeometry())},
                            {QStringLiteral("view"), RectArray(window->pageGeometry())}};
    const QByteArray bytes = QJsonDocument(state).toJson(QJsonDocument::Compact);
    if (bytes == written)
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
        written = bytes;
        return;
    }
    // Said once: a place that cannot be written now will not be in a tenth of a second, and
    // whoever waits for the file learns why it never comes.
    timer.stop();
    const QString message = QStringLiteral("The page state cannot be written to %1: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString());
    Complain(message);
    window->statusBar()->showMessage(message);
}

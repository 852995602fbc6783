#include "group/pagestatefile.h"

#include "engine/browserpage.h"
#include "ui/emulatorwindow.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSaveFile>

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
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        written = bytes;
}

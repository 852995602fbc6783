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
        if (asking || !window->page()->isActive())
            return;
        asking = true;
        const QPointer<PageStateFile> self(this);
        // The follow script's world; -1 before it runs.
        window->page()->Evaluate(
            QStringLiteral("window.__velmoraGroup ? window.__velmoraGroup.fraction() : -1"),
            [self](const QJsonValue &fraction, const QString &problem) {
                if (!self)
                    return;
                self->asking = false;
                self->Update(problem.isEmpty() ? fraction.toDouble(-1) : -1);
            },
            BrowserPage::World::Isolated);
    });
    timer.start(IntervalMs);
}

void PageStateFile::Update(double fraction)
{
    const QJsonObject state{{QStringLiteral("address"), window->page()->url().toString()},
                            {QStringLiteral("title"), window->page()->title()},
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

#include "pagestatefile.h"

#include "emulatorwindow.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSaveFile>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {

QJsonArray RectArray(const QRect &rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

} // namespace

PageStateFile::PageStateFile(EmulatorWindow *emulatorWindow, const QString &filePath)
    : QObject(emulatorWindow), window(emulatorWindow), path(filePath)
{
    connect(window->page(), &QWebEnginePage::loadFinished, this, [this] { ++loads; });
    connect(&timer, &QTimer::timeout, this, [this] {
        const QPointer<PageStateFile> self(this);
        // The follow script's world; -1 before it runs.
        window->page()->runJavaScript(
            QStringLiteral("window.__velmoraGroup ? window.__velmoraGroup.fraction() : -1"),
            QWebEngineScript::ApplicationWorld, [self](const QVariant &fraction) {
                if (self)
                    self->Update(fraction.toDouble());
            });
    });
    timer.start(IntervalMs);
}

void PageStateFile::Update(double fraction)
{
    QJsonObject state{{QStringLiteral("address"), window->page()->url().toString()},
                      {QStringLiteral("title"), window->page()->title()},
                      {QStringLiteral("fraction"), fraction},
                      {QStringLiteral("loads"), loads},
                      {QStringLiteral("frame"), RectArray(window->frameGeometry())}};
    if (const QWebEngineView *view = QWebEngineView::forPage(window->page()))
        state.insert(QStringLiteral("view"),
                     RectArray(QRect(view->mapToGlobal(QPoint(0, 0)), view->size())));
    const QByteArray bytes = QJsonDocument(state).toJson(QJsonDocument::Compact);
    if (bytes == written)
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        written = bytes;
}

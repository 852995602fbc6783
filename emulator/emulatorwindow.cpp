#include "emulatorwindow.h"

#include "pageinputfilter.h"
#include "startpage.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {
const QString StartPageScheme = QStringLiteral("data");
}

EmulatorWindow::EmulatorWindow(const EmulatorSettings &emulated, QWebEngineProfile *profile,
                               const QString &profileText, QWidget *parent)
    : QMainWindow(parent), settings(emulated), profileDescription(profileText)
{
    view = new QWebEngineView;
    view->setPage(new QWebEnginePage(profile, view));
    QWebEngineSettings *webSettings = view->page()->settings();
    // Phones overlay their scroll bars; classic bars would eat into the viewport.
    webSettings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    webSettings->setAttribute(QWebEngineSettings::SpatialNavigationEnabled,
                              settings.input == InputMethod::Keys);
    new PageInputFilter(view, settings.input);

    auto *scrollArea = new QScrollArea;
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setAlignment(Qt::AlignCenter);
    scrollArea->setWidget(view);
    setCentralWidget(scrollArea);
    BuildToolBar();
    SizePageArea();
    ApplyZoom();

    // The engine may forget the zoom when a navigation changes the renderer.
    connect(view, &QWebEngineView::urlChanged, this, &EmulatorWindow::ApplyZoom);
    connect(view, &QWebEngineView::loadFinished, this, &EmulatorWindow::ApplyZoom);
    connect(view, &QWebEngineView::urlChanged, this, &EmulatorWindow::ShowAddress);
}

QWebEnginePage *EmulatorWindow::page() const
{
    return view->page();
}

void EmulatorWindow::OpenFirstPage()
{
    if (settings.address.isEmpty())
        view->setHtml(StartPageHtml(settings, profileDescription));
    else
        OpenAddress(settings.address);
    view->setFocus();
}

void EmulatorWindow::BuildToolBar()
{
    toolBar = addToolBar(QStringLiteral("Navigation"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->toggleViewAction()->setEnabled(false);
    toolBar->addAction(view->pageAction(QWebEnginePage::Back));
    toolBar->addAction(view->pageAction(QWebEnginePage::Forward));
    toolBar->addAction(view->pageAction(QWebEnginePage::Reload));
    addressEdit = new QLineEdit;
    addressEdit->setPlaceholderText(QStringLiteral("Address"));
    addressEdit->setClearButtonEnabled(true);
    toolBar->addWidget(addressEdit);
    connect(addressEdit, &QLineEdit::returnPressed, this, [this] {
        OpenAddress(addressEdit->text());
        view->setFocus();
    });
}

// The view's size is given in device-independent pixels, so a scaled desktop divides the
// device pixels by its own ratio first.
void EmulatorWindow::SizePageArea()
{
    const qreal screenRatio = devicePixelRatioF();
    view->setFixedSize((QSizeF(settings.windowSize) / screenRatio).toSize());

    QSize size(view->width(), view->height() + toolBar->sizeHint().height());
    if (const QScreen *desktop = screen())
        size = size.boundedTo(desktop->availableGeometry().size());
    resize(size);
}

// The engine's zoom scales both the CSS viewport and the ratio the page reports, which is
// how a denser screen looks to a page.
void EmulatorWindow::ApplyZoom()
{
    view->page()->setZoomFactor(settings.devicePixelRatio() / devicePixelRatioF());
}

void EmulatorWindow::OpenAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return;
    const QFileInfo file(trimmed);
    const QUrl url =
        file.exists() ? QUrl::fromLocalFile(file.absoluteFilePath()) : QUrl::fromUserInput(trimmed);
    view->setUrl(url);
}

void EmulatorWindow::ShowAddress(const QUrl &url)
{
    // The generated start page has no address worth showing.
    addressEdit->setText(url.scheme() == StartPageScheme ? QString() : url.toDisplayString());
}

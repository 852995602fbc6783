#pragma once

#include "engine/browserpage.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

class ChromiumProcess;
class DevToolsPipe;
class ForeignWindowView;
struct DevToolsReply;
struct EmulationCommand;

// The page in the system's Chromium, driven over its private debugging pipe: one browser
// process per page, its window taken into ours (X11), or without a window where none can
// be embedded.
class ChromiumPage : public BrowserPage
{
    Q_OBJECT

public:
    struct Options
    {
        QString program;     // the browser to start
        QString userDataDir; // its profile; empty: a private one, removed at the end
        bool headless = false;
        QString unavailable; // why there is no browser to start, if there is none
    };

    // How long the page may leave a question unanswered before it counts as stuck.
    static constexpr int StuckAfterMs = 5000;
    static constexpr int EmbedTimeoutMs = 15000;

    explicit ChromiumPage(const Options &options, QObject *parent = nullptr);
    ~ChromiumPage() override;

    void Start(const Device &device, const UserAgentDetails &userAgent, qreal zoom) override;
    bool isActive() const override { return active; }
    QWidget *TakeView() override;
    void ForwardShortcuts(const QList<QKeySequence> &keys) override;
    void Load(const QUrl &url, NavigationCause cause) override;
    void SetHtml(const QString &html) override;
    void Reload() override;
    void GoBack() override;
    void GoForward() override;
    QUrl url() const override { return currentUrl; }
    QString title() const override { return currentTitle; }
    void SetMetrics(const Device &device, qreal zoom) override;
    void SetConditions(const PageConditions &conditions) override;
    void Evaluate(const QString &expression, Evaluated done, World world) override;
    void AddScript(const QString &source) override;
    void AddBinding(const QString &name) override;
    void Capture(bool fullPage, Captured done) override;
    void OpenInspector() override;
    void EndPage() override;
    void AnswerDialog(bool accept, const QString &text) override;
    void SetAnswerDialogs(bool automatically) override;
    void Close() override;
    QString engineName() const override { return QStringLiteral("Chromium"); }
    QString engineVersion() const override { return version; }

    qint64 browserProcessId() const;

private:
    void Fail(const QString &problem);
    void OnEvent(const QString &method, const QJsonObject &params, const QString &sessionId);
    void OnTargetCreated(const QJsonObject &info);
    void Attach(const QString &targetId);
    void SetUpSession();
    void OnEmulationAnswered();
    void ReportReady();
    void OnPageEvent(const QString &method, const QJsonObject &params);
    void OnFrameNavigated(const QJsonObject &frame);
    NavigationCause CauseOf(const QJsonObject &frame);
    void OnBinding(const QJsonObject &params);
    void OnDialog(const QJsonObject &params);
    void Ping();
    void ApplyEmulation(const std::function<void(bool answered)> &done = {});
    // Sends `commands` in order; `done` learns whether each got an answer. Refusals are told.
    void SendEmulation(const QList<EmulationCommand> &commands,
                       const std::function<void(bool answered)> &done = {});
    void Navigate(const QUrl &url, NavigationCause cause);
    void HistoryStep(int step);
    void EvaluateIn(int contextId, const QString &expression, const Evaluated &done);
    void CaptureWithin(const QJsonObject &clip, const Captured &done);
    // A command for the page's session.
    void Send(const QString &method, const QJsonObject &params = {},
              std::function<void(const DevToolsReply &)> handler = {});

    Options options;
    Device device;
    UserAgentDetails agent;
    PageConditions conditions;
    PageConditions appliedConditions; // what the page's session was sent
    qreal displayZoom = 1;
    std::unique_ptr<QTemporaryDir> privateData;
    std::unique_ptr<QTemporaryDir> temporaryFiles;
    ChromiumProcess *browser = nullptr;
    QPointer<ForeignWindowView> view;
    QByteArray windowClass;
    QString targetId;
    QString sessionId;
    QString version;
    QStringList scripts;
    QStringList bindings;
    QSet<QString> handledPopups;
    QList<QKeySequence> shortcuts;
    QUrl currentUrl;
    QString currentTitle;
    int isolatedContext = 0;
    // Why the next commit happens, for navigations that are not our own requests.
    NavigationCause pendingCause = NavigationCause::Program;
    bool causeKnown = false;
    struct Requested
    {
        QUrl url;
        NavigationCause cause;
    };
    QHash<int, Requested> requested; // our own, until their reply
    int navigationRequests = 0;
    QHash<QString, NavigationCause> causeByLoader;
    QElapsedTimer sinceUserInput;
    bool active = false;
    bool startReported = false;
    bool emulationTaken = false;
    bool loadArmed = false;
    bool showingError = false;
    bool answerDialogs = false;
    bool dialogOpen = false;
    bool stuck = false;
    bool closing = false;
    bool pingWaiting = false;
    QTimer pingTimer;
};

// The window's work with 10,000 profiles and 1,000 resolutions: choosing a profile, the
// refresh of the Add/Update button, and removing a resolution that half of the profiles
// use, its question answered at once. Each includes the repaint that follows.

#include "benchsupport.h"
#include "configwriter.h"
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

const int ProfileCount = 10000;
QString configPath;
QString pristinePath;

std::unique_ptr<MainWindow> OpenWindow()
{
    // The window saves on the way out, so each one starts from the generated file.
    QFile::remove(configPath);
    QFile::copy(pristinePath, configPath);
    auto window = std::make_unique<MainWindow>();
    window->show();
    QCoreApplication::processEvents();
    return window;
}

std::unique_ptr<MainWindow> sharedWindow;

MainWindow &SharedWindow()
{
    if (!sharedWindow)
        sharedWindow = OpenWindow();
    return *sharedWindow;
}

void ChooseProfile(benchmark::State &state)
{
    auto *list = SharedWindow().findChild<QListWidget *>(QStringLiteral("profileList"));
    int row = 0;
    for (auto _ : state) {
        row = 1 + (row + 7919) % (ProfileCount - 1);
        list->setCurrentRow(row);
        QCoreApplication::processEvents();
    }
}

void RefreshAddUpdate(benchmark::State &state)
{
    MainWindow &window = SharedWindow();
    for (auto _ : state)
        window.RefreshAddUpdateButton();
}

// Answers the question that the removal asks, once it is shown.
void AnswerYes(QElapsedTimer *shownAfter, qint64 *shownNs, int attempts = 0)
{
    QTimer::singleShot(0, qApp, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            if (attempts < 1000)
                AnswerYes(shownAfter, shownNs, attempts + 1);
            return;
        }
        *shownNs = shownAfter->nsecsElapsed();
        box->button(QMessageBox::Yes)->click();
    });
}

void RemoveResolutionUsedByHalf(benchmark::State &state)
{
    double toQuestion = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<MainWindow> window = OpenWindow();
        QComboBox *combo = window->Sections().at(ResolutionSection).combo;
        // As the user would: the list moves, so its Remove button follows it.
        combo->setCurrentIndex(0);
        combo->setCurrentIndex(1);
        QCoreApplication::processEvents();
        auto *remove = window->findChild<QPushButton *>(QStringLiteral("removeResolutionButton"));
        QElapsedTimer clock;
        qint64 shownNs = 0;
        AnswerYes(&clock, &shownNs);
        clock.start();
        state.ResumeTiming();

        remove->click();
        QCoreApplication::processEvents();

        state.PauseTiming();
        toQuestion += static_cast<double>(shownNs) / 1e6;
        const bool removed = window->Sections().at(ResolutionSection).entries.size() == 999;
        window.reset();
        if (!removed) {
            state.SkipWithError("the resolution was not removed");
            break;
        }
        state.ResumeTiming();
    }
    state.counters["question_shown_ms"] =
        benchmark::Counter(toQuestion, benchmark::Counter::kAvgIterations);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool quick = TakeFlag(argc, argv, "--short");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);

    const QString dir = data.filePath(QStringLiteral("Velmora/VelmoraMobileEmulator"));
    QDir().mkpath(dir);
    configPath = dir + QStringLiteral("/Launcher.ini");
    pristinePath = data.filePath(QStringLiteral("generated.ini"));
    GeneratedConfig config = GenerateConfig(ProfileCount, 1000, 20, 3, 20);
    WriteConfig(pristinePath, config.sections, config.profiles);

    const double minTime = quick ? 0.01 : 0.5;
    benchmark::RegisterBenchmark("ChooseProfile", &ChooseProfile)
        ->MinTime(minTime)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RefreshAddUpdate", &RefreshAddUpdate)
        ->MinTime(minTime)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RemoveResolutionUsedByHalf", &RemoveResolutionUsedByHalf)
        ->Iterations(quick ? 1 : 10)
        ->Unit(benchmark::kMillisecond);
    SummaryReporter reporter;
    reporter.AddBudget("choose a profile (10,000 profiles)", "ChooseProfile", 16);
    reporter.AddBudget("Add/Update refresh", "RefreshAddUpdate", 16);
    reporter.AddBudget("remove a resolution used by 5,000 profiles", "RemoveResolutionUsedByHalf",
                       16);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    sharedWindow.reset();
    return 0;
}

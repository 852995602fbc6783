#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Points the per-user data location at a temporary directory for the whole test run.
inline void UseTemporaryDataHome(const QTemporaryDir &dir)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
}

inline QString UserConfigPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Velmora/VelmoraMobileEmulator/Launcher.ini");
}

inline bool WriteUserConfig(const QByteArray &content)
{
    const QString path = UserConfigPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

inline QByteArray ReadUserConfig()
{
    QFile file(UserConfigPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the next modal dialogs, one function each, in the order they are shown, so the
// product keeps calling the real dialogs and the test answers them like a user.
inline void AnswerModals(QList<std::function<void(QWidget *)>> answers)
{
    auto *timer = new QTimer(qApp);
    auto handled = std::make_shared<QPointer<QWidget>>();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answers, handled]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == handled->data())
            return;
        *handled = modal;
        const auto answer = answers.takeFirst();
        if (answers.isEmpty()) {
            timer->stop();
            timer->deleteLater();
        }
        answer(modal);
    });
    timer->start(5);
}

inline void AnswerNextModal(std::function<void(QWidget *)> answer)
{
    AnswerModals({std::move(answer)});
}

inline QAbstractButton *FindButton(QWidget *dialog, const QString &text)
{
    const auto buttons = dialog->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button->text().remove(QLatin1Char('&')) == text)
            return button;
    }
    return nullptr;
}

inline void ClickButton(QWidget *dialog, const QString &text)
{
    if (QAbstractButton *button = FindButton(dialog, text))
        button->click();
}

#pragma once

#include "configmodel.h"

#include <QMainWindow>

class ProfileQListWidget;
class QLineEdit;
class QPushButton;

// The launcher's only window. It owns the configuration model, shows the profiles and the
// four option lists, and writes the model back to Launcher.ini when it is destroyed.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Once the process is asked to stop, nobody may be there to answer a box: a failure to
    // save is then written to stderr instead.
    void SetUnattended() { unattended = true; }

    bool LoadConfig(const QString &path, bool renameIfOutdated);
    bool SaveConfig();
    QString GetProfileArguments(const LaunchProfile &profile) const;
    QString GetCurrentArguments() const;
    void CaptureCurrentSettings(LaunchProfile &profile) const;
    void RefreshAddUpdateButton();
    // Removes the entry that the section's list shows, after asking when profiles use it;
    // false when nothing was removed.
    bool RemoveOption(int section);

    const QList<LaunchProfile> &Profiles() const { return profiles; }
    const QList<ConfigSection> &Sections() const { return sections; }

public Q_SLOTS:
    void OnProfileChanged(int index);
    void OnAddUpdateProfile();
    void OnRemoveProfile();
    void OnResolution(int index);
    void OnAddResolution();
    void OnRemoveResolution();
    void OnPixelDensity(int index);
    void OnAddPixelDensity();
    void OnRemovePixelDensity();
    void OnInput();
    void OnUAString();
    void OnTextCtrlEdit();
    void OnHelp();
    void OnLaunch();

private:
    QList<int> CurrentSelections() const;
    void AppendOption(int section, const QString &name, const QString &value);
    bool ConfirmRemoveOption(int section, const QList<int> &users);

    QList<LaunchProfile> profiles;
    QList<ConfigSection> sections;
    ProfileQListWidget *profileList = nullptr;
    QPushButton *addUpdateButton = nullptr;
    QPushButton *removeProfileButton = nullptr;
    QLineEdit *argumentsEdit = nullptr;
    QPushButton *removeResolutionButton = nullptr;
    QPushButton *removePixelDensityButton = nullptr;

    // Cleared when the user's file must not be overwritten: it could not be read, or an
    // out-of-date one could not be set aside.
    bool saveAllowed = true;
    bool saveFailed = false;
    bool unattended = false;
};

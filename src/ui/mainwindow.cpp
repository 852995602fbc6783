#include "mainwindow.h"

#include "adddlg.h"
#include "arguments.h"
#include "configreader.h"
#include "configwriter.h"
#include "filelocations.h"
#include "profileqlistwidget.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>
#include <QValidator>

#include <cstdio>
#include <cstdlib>

namespace {

const QString WarningTitle = QStringLiteral("Velmora Mobile Emulator Launcher Warning");

// A profile's arguments are stored on one line of the file. A line break pasted into the
// field becomes a space in the field itself, so the text shown, stored and launched agree.
class OneLineValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = WithoutLineBreaks(input);
        return Acceptable;
    }
};

void ReportStartFailure(QWidget *parent)
{
    QMessageBox::critical(parent, QStringLiteral("Velmora Mobile Emulator Launcher"),
                          QStringLiteral("Failed to start Velmora Mobile Emulator!"));
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Velmora Mobile Emulator"));

    RemoveStaleSaveFiles(GetFilePath(ConfigFile));
    if (!LoadConfig(GetFilePath(ConfigFile), true) &&
        !LoadConfig(GetFilePath(DefaultConfigFile), false)) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Velmora Mobile Emulator"),
                        QStringLiteral("Unable to start Velmora Mobile Emulator Launcher"));
        box.setInformativeText(QStringLiteral("Unable to read configuration file."));
        box.exec();
        // Nothing was loaded, so nothing may be saved: leave without running any destructor.
        std::exit(1);
    }

    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *mainLayout = new QVBoxLayout;
    auto *profileGroup = new QGroupBox(QStringLiteral("Profile"));
    mainLayout->addWidget(profileGroup, 0);
    auto *groupLayout = new QHBoxLayout;
    profileGroup->setLayout(groupLayout);
    auto *profileGrid = new QGridLayout;
    groupLayout->addLayout(profileGrid);

    profileList = new ProfileQListWidget;
    profileList->setObjectName(QStringLiteral("profileList"));
    profileList->addItems(ProfileNames(profiles));
    // The first row is selected before the slot is connected, so it loads nothing yet.
    profileList->setCurrentRow(0);
    connect(profileList, &QListWidget::currentRowChanged, this, &MainWindow::OnProfileChanged);
    profileGrid->addWidget(profileList, 0, 0, 1, -1);

    addUpdateButton = new QPushButton(QStringLiteral("Add"));
    addUpdateButton->setObjectName(QStringLiteral("addUpdateButton"));
    connect(addUpdateButton, &QPushButton::clicked, this, &MainWindow::OnAddUpdateProfile);
    removeProfileButton = new QPushButton(QStringLiteral("Remove"));
    removeProfileButton->setObjectName(QStringLiteral("removeProfileButton"));
    connect(removeProfileButton, &QPushButton::clicked, this, &MainWindow::OnRemoveProfile);
    profileGrid->addWidget(addUpdateButton, 1, 0);
    profileGrid->addWidget(removeProfileButton, 1, 1);
    // Forward Tab follows the window from top to bottom and reaches every button.
    QList<QWidget *> tabOrder{profileList, addUpdateButton, removeProfileButton};

    auto *form = new QFormLayout;
    for (int s = ResolutionSection; s <= UserAgentSection; ++s) {
        auto *grid = new QGridLayout;
        auto *combo = new QComboBox;
        sections[s].combo = combo;
        combo->addItems(sections[s].EntryNames());
        grid->addWidget(combo, 0, 0, 1, -1);
        tabOrder.append(combo);

        if (s == ResolutionSection || s == PixelDensitySection) {
            const bool resolution = s == ResolutionSection;
            connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                    resolution ? &MainWindow::OnResolution : &MainWindow::OnPixelDensity);
            auto *addButton = new QPushButton(QStringLiteral("Add"));
            addButton->setObjectName(resolution ? QStringLiteral("addResolutionButton")
                                                : QStringLiteral("addPixelDensityButton"));
            connect(addButton, &QPushButton::clicked, this,
                    resolution ? &MainWindow::OnAddResolution : &MainWindow::OnAddPixelDensity);
            auto *removeButton = new QPushButton(QStringLiteral("Remove"));
            removeButton->setObjectName(resolution ? QStringLiteral("removeResolutionButton")
                                                   : QStringLiteral("removePixelDensityButton"));
            connect(removeButton, &QPushButton::clicked, this,
                    resolution ? &MainWindow::OnRemoveResolution
                               : &MainWindow::OnRemovePixelDensity);
            (resolution ? removeResolutionButton : removePixelDensityButton) = removeButton;
            grid->addWidget(addButton, 1, 0);
            grid->addWidget(removeButton, 1, 1);
            tabOrder << addButton << removeButton;
        } else {
            connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                    s == InputSection ? &MainWindow::OnInput : &MainWindow::OnUAString);
        }
        combo->setCurrentIndex(0);
        form->addRow(SectionDisplayName(sections[s], false), grid);
    }

    argumentsEdit = new QLineEdit;
    argumentsEdit->setObjectName(QStringLiteral("argumentsEdit"));
    argumentsEdit->setValidator(new OneLineValidator(argumentsEdit));
    connect(argumentsEdit, &QLineEdit::textChanged, this, &MainWindow::OnTextCtrlEdit);
    form->addRow(QStringLiteral("&Arguments"), argumentsEdit);

    groupLayout->addSpacing(10);
    groupLayout->addLayout(form);

    OnProfileChanged(0);
    OnResolution(0);
    OnPixelDensity(0);

    auto *helpButton = new QPushButton(QStringLiteral("&Help"));
    helpButton->setObjectName(QStringLiteral("helpButton"));
    connect(helpButton, &QPushButton::clicked, this, &MainWindow::OnHelp);
    auto *launchButton = new QPushButton(QStringLiteral("&Launch"));
    launchButton->setObjectName(QStringLiteral("launchButton"));
    connect(launchButton, &QPushButton::clicked, this, &MainWindow::OnLaunch);
    auto *buttonBox = new QDialogButtonBox;
    buttonBox->addButton(helpButton, QDialogButtonBox::HelpRole);
    buttonBox->addButton(launchButton, QDialogButtonBox::AcceptRole);
    // The box makes its accept button its focus proxy, and Tab then skipped Help.
    buttonBox->setFocusProxy(nullptr);
    mainLayout->addWidget(buttonBox, 0);

    central->setLayout(mainLayout);
    tabOrder << argumentsEdit << helpButton << launchButton;
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
}

MainWindow::~MainWindow()
{
    if (SaveConfig() || !saveFailed)
        return;
    const QString text = QStringLiteral("Unable to save the configuration file %1. Your changes "
                                        "have not been saved.")
                             .arg(GetFilePath(ConfigFile));
    if (unattended)
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(WarningTitle), qUtf8Printable(text));
    else
        QMessageBox::warning(this, WarningTitle, text);
}

bool MainWindow::LoadConfig(const QString &path, bool renameIfOutdated)
{
    const ConfigReadResult result = ReadConfig(path, renameIfOutdated, sections, profiles);
    switch (result.status) {
    case ConfigReadResult::Loaded:
        if (result.outdated)
            QMessageBox::warning(this, WarningTitle, QStringLiteral("Config file is out of date"));
        return true;
    case ConfigReadResult::Missing:
        return false;
    case ConfigReadResult::Unreadable:
        // Only the user's own file is protected; the default file is never written.
        if (renameIfOutdated) {
            saveAllowed = false;
            QMessageBox::warning(this, WarningTitle,
                                 QStringLiteral("Your Launcher.ini configuration file %1 cannot "
                                                "be read. The default configuration is used, "
                                                "and changes made now will not be saved.")
                                     .arg(path));
        }
        return false;
    case ConfigReadResult::Refused:
        if (result.renamedTo.isEmpty()) {
            saveAllowed = false;
            QMessageBox::warning(this, WarningTitle,
                                 QStringLiteral("Your Launcher.ini configuration file is out of "
                                                "date and will not be used. It could not be "
                                                "renamed, so it is left unchanged and changes "
                                                "made now will not be saved."));
        } else {
            QMessageBox::warning(this, WarningTitle,
                                 QStringLiteral("Your Launcher.ini configuration file is out of "
                                                "date and will not be used. It has been renamed "
                                                "to %1 to make place for a new configuration "
                                                "file.")
                                     .arg(result.renamedTo));
        }
        return false;
    }
    return false;
}

bool MainWindow::SaveConfig()
{
    if (!saveAllowed)
        return false;
    const ConfigWriteResult result = WriteConfig(GetFilePath(ConfigFile), sections, profiles);
    saveFailed = result == ConfigWriteResult::Failed;
    return result == ConfigWriteResult::Written;
}

QString MainWindow::GetProfileArguments(const LaunchProfile &profile) const
{
    return ::GetProfileArguments(profile, sections);
}

QList<int> MainWindow::CurrentSelections() const
{
    QList<int> selections;
    for (int s = ResolutionSection; s <= UserAgentSection; ++s)
        selections.append(sections[s].combo->currentIndex());
    return selections;
}

QString MainWindow::GetCurrentArguments() const
{
    return ComposeArguments(sections, CurrentSelections(), argumentsEdit->text());
}

void MainWindow::CaptureCurrentSettings(LaunchProfile &profile) const
{
    profile.selections = CurrentSelections();
    profile.arguments = argumentsEdit->text();
}

void MainWindow::RefreshAddUpdateButton()
{
    const int row = profileList->currentRow();
    if (row < 0 || row >= profiles.size())
        return;
    addUpdateButton->setText(row == 0 ? QStringLiteral("Add") : QStringLiteral("Update"));
    addUpdateButton->setEnabled(GetCurrentArguments() != GetProfileArguments(profiles[row]));
}

void MainWindow::OnProfileChanged(int index)
{
    removeProfileButton->setEnabled(index > 0 && index < profiles.size());
    if (index < 0 || index >= profiles.size())
        return;
    // Each list that moves runs its own slot; a copy keeps the values stable meanwhile.
    const LaunchProfile profile = profiles[index];
    for (int s = ResolutionSection; s <= UserAgentSection; ++s)
        sections[s].combo->setCurrentIndex(profile.selections.value(s - 1));
    argumentsEdit->setText(profile.arguments);
    RefreshAddUpdateButton();
}

void MainWindow::OnAddUpdateProfile()
{
    const int row = profileList->currentRow();
    if (row < 0 || row >= profiles.size())
        return;
    if (row != 0) {
        CaptureCurrentSettings(profiles[row]);
        RefreshAddUpdateButton();
        return;
    }

    const QString title = QStringLiteral("Add Profile");
    for (;;) {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, title, QStringLiteral("Enter the name for the new profile"),
                                  QLineEdit::Normal, QString(), &ok);
        if (!ok || name.isEmpty())
            return;
        if (const QString unstorable = UnstorableNamePart(name); !unstorable.isEmpty()) {
            QMessageBox::warning(
                this, title, QStringLiteral("A profile name cannot contain %1.").arg(unstorable));
            continue;
        }

        const int existing = FindProfile(profiles, name);
        if (existing < 0) {
            LaunchProfile profile;
            profile.name = name;
            CaptureCurrentSettings(profile);
            profiles.append(profile);
            profileList->addItem(name);
            profileList->setCurrentRow(profileList->count() - 1);
            return;
        }
        const auto answer = QMessageBox::question(
            this, title, QStringLiteral("This profile already exists. Do you want to replace it?"),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
        if (answer == QMessageBox::Ok) {
            CaptureCurrentSettings(profiles[existing]);
            profileList->setCurrentRow(existing);
            return;
        }
    }
}

void MainWindow::OnRemoveProfile()
{
    const int row = profileList->currentRow();
    // The first profile is the base for new ones and is never removed.
    if (row <= 0 || row >= profiles.size())
        return;
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Confirm Remove Profile"),
        QStringLiteral("Are you sure you want to remove this profile?\n\n") + profiles[row].name,
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer != QMessageBox::Ok)
        return;
    // The model goes first, so the row change that follows already sees both in step.
    profiles.removeAt(row);
    delete profileList->takeItem(row);
    profileList->setCurrentRow(0);
}

void MainWindow::OnResolution(int index)
{
    if (removeResolutionButton)
        removeResolutionButton->setEnabled(index > 0);
    RefreshAddUpdateButton();
}

void MainWindow::OnAddResolution()
{
    AddDlg dialog(this, QStringLiteral("Add Resolution"),
                  {{AddDlgField::FieldText, QStringLiteral("Name:"), nullptr},
                   {AddDlgField::FieldNumber, QStringLiteral("Width:"), nullptr},
                   {AddDlgField::FieldNumber, QStringLiteral("Height:"), nullptr}});
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString widthText = dialog.fields[1].edit->text();
    const QString heightText = dialog.fields[2].edit->text();
    const int width = widthText.toInt(nullptr, 10);
    const int height = heightText.toInt(nullptr, 10);

    // Emulator sizes are device pixels; a scaled screen's geometry is not.
    const QScreen *primary = QGuiApplication::primaryScreen();
    const QSize screen = primary->geometry().size() * primary->devicePixelRatio();
    if (width > screen.width() || height > screen.height()) {
        QMessageBox box(QMessageBox::Warning,
                        QStringLiteral("Resolution bigger than the current screen size!"),
                        QStringLiteral("You are trying to add: %1x%2\nbut the current screen "
                                       "resolution is: %3x%4\n\nAre you sure ?")
                            .arg(width)
                            .arg(height)
                            .arg(screen.width())
                            .arg(screen.height()),
                        QMessageBox::NoButton, this);
        QPushButton *yesButton = box.addButton(QStringLiteral("Yes"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("No"), QMessageBox::RejectRole);
        box.exec();
        if (box.clickedButton() != yesButton)
            return;
    }

    AppendOption(ResolutionSection, dialog.fields[0].edit->text(),
                 QStringLiteral(" -windowsize ") + widthText + QLatin1Char('x') + heightText);
}

void MainWindow::OnRemoveResolution()
{
    if (RemoveOption(ResolutionSection))
        sections[ResolutionSection].combo->setCurrentIndex(0);
}

void MainWindow::OnPixelDensity(int index)
{
    if (removePixelDensityButton)
        removePixelDensityButton->setEnabled(index > 0);
    RefreshAddUpdateButton();
}

void MainWindow::OnAddPixelDensity()
{
    AddDlg dialog(this, QStringLiteral("Add Pixel Density"),
                  {{AddDlgField::FieldText, QStringLiteral("Name:"), nullptr},
                   {AddDlgField::FieldNumber, QStringLiteral("Pixel Density:"), nullptr}});
    if (dialog.exec() != QDialog::Accepted)
        return;
    AppendOption(PixelDensitySection, dialog.fields[0].edit->text(),
                 QStringLiteral(" -ppi ") + dialog.fields[1].edit->text());
}

// The new entry goes to the end of the model and of the list, and is shown at once.
void MainWindow::AppendOption(int section, const QString &name, const QString &value)
{
    ConfigSection &target = sections[section];
    target.entries.append(ConfigEntry{name, value});
    target.combo->addItem(name);
    target.combo->setCurrentIndex(target.entries.size() - 1);
}

void MainWindow::OnRemovePixelDensity()
{
    if (RemoveOption(PixelDensitySection))
        sections[PixelDensitySection].combo->setCurrentIndex(0);
}

bool MainWindow::RemoveOption(int section)
{
    QComboBox *combo = sections[section].combo;
    const int k = combo->currentIndex();
    // Entry 0 is where the profiles that used a removed entry fall back to; it always stays.
    if (k < 1 || k >= sections[section].entries.size())
        return false;
    const QList<int> users = ProfilesUsingEntry(profiles, section, k);
    if (!users.isEmpty() && !ConfirmRemoveOption(section, users))
        return false;

    const int row = profileList->currentRow();
    const QString moved = RemoveOptionEntry(sections, profiles, section, k);
    combo->removeItem(k);
    // The field follows the repaired profile, and keeps what was typed and not stored yet.
    if (users.contains(row)) {
        QString arguments = argumentsEdit->text();
        AppendArguments(arguments, moved);
        argumentsEdit->setText(arguments);
    }
    return true;
}

bool MainWindow::ConfirmRemoveOption(int section, const QList<int> &users)
{
    // The question names a screenful of profiles at most: a box that listed thousands took
    // a third of a second to lay out and reached beyond the screen, buttons included.
    const qsizetype maxListed = 20;
    QString names;
    for (qsizetype i = 0; i < qMin(users.size(), maxListed); ++i)
        names += profiles.at(users.at(i)).name + QLatin1Char('\n');
    if (users.size() > maxListed)
        names += QStringLiteral("and %1 more\n").arg(users.size() - maxListed);
    const auto answer = QMessageBox::warning(
        this, QStringLiteral("Confirm remove ") + SectionDisplayName(sections[section], true),
        QStringLiteral("The following profiles use this option, are you sure you want to "
                       "continue?\n\n") +
            names,
        QMessageBox::Yes | QMessageBox::No);
    return answer == QMessageBox::Yes;
}

void MainWindow::OnInput()
{
    RefreshAddUpdateButton();
}

void MainWindow::OnUAString()
{
    RefreshAddUpdateButton();
}

void MainWindow::OnTextCtrlEdit()
{
    RefreshAddUpdateButton();
}

void MainWindow::OnHelp()
{
    const QString path = GetFilePath(HelpFile);
    const QUrl page = QUrl::fromLocalFile(path);
    // A missing page stays silent: there is nothing to offer instead.
    if (QDesktopServices::openUrl(page) || !QFileInfo::exists(path))
        return;
    // Without a program for HTML files the button would do nothing at all; the emulator
    // shows web pages too.
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Velmora Mobile Emulator Launcher"),
        QStringLiteral("No program on this system is set up to open the help page:\n%1\n\n"
                       "Show it in an emulator window?")
            .arg(QDir::toNativeSeparators(path)));
    if (answer != QMessageBox::Yes)
        return;
    if (!QProcess::startDetached(GetFilePath(EmulatorExecutable), {page.toString()}))
        ReportStartFailure(this);
}

void MainWindow::OnLaunch()
{
    if (!profileList->currentItem())
        return;
    // The executable's path is passed as the program itself rather than quoted into the
    // line, so no character in it can change how the rest is split. No shell is involved.
    const QString program = GetFilePath(EmulatorExecutable);
    // What the window shows now, stored or not.
    const LaunchProfile shown{profileList->currentItem()->text(), argumentsEdit->text(),
                              CurrentSelections()};
    if (!QProcess::startDetached(program, LaunchArguments(sections, shown)))
        ReportStartFailure(this);
}

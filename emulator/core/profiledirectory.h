#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// The per-user directory of everything the emulator keeps, below the generic data
// location; spelled out here only.
QString EmulatorDataRoot();

// The per-user directory that keeps one profile name's browsing data, held for as long as
// this object lives. Only one emulator at a time may use it: the browser engine's storage
// does not survive two writers, so a second emulator with the same name runs privately.
class ProfileDirectory
{
public:
    // An empty name claims nothing.
    explicit ProfileDirectory(const QString &profileName);
    ~ProfileDirectory();
    ProfileDirectory(const ProfileDirectory &) = delete;
    ProfileDirectory &operator=(const ProfileDirectory &) = delete;

    bool isClaimed() const { return lock != nullptr; }
    // Another emulator holds the directory.
    bool isInUse() const { return inUse; }
    // Where the data lies; empty unless claimed.
    QString path() const { return claimedPath; }
    // Why a named profile could not be claimed; empty otherwise.
    QString problem() const { return failure; }

    // The directory of all profiles, below the per-user data location.
    static QString RootPath();
    // A file name for any profile name: distinct names give distinct directories, and no
    // name can climb out of the root or use characters some file systems refuse.
    static QString EncodedName(const QString &profileName);

private:
    std::unique_ptr<QLockFile> lock;
    QString claimedPath;
    QString failure;
    bool inUse = false;
};

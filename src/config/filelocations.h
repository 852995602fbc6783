#pragma once

#include <QString>

// The launcher's files. The numbers are fixed; the fixed underlying type keeps any other
// number a valid (unknown) value.
enum FileKind : int
{
    ConfigFile = 0,
    DefaultConfigFile = 1,
    HelpFile = 2,
    EmulatorExecutable = 3
};

// The absolute path of a file; empty for an unknown kind. Creates and checks nothing.
QString GetFilePath(FileKind kind);

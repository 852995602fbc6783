#pragma once

#include <QString>

// The launcher's files. The numbers are fixed.
enum FileKind { ConfigFile = 0, DefaultConfigFile = 1, HelpFile = 2, EmulatorExecutable = 3 };

// The absolute path of a file; empty for an unknown kind. Creates and checks nothing.
QString GetFilePath(FileKind kind);

#pragma once

/// True when the arguments ask for the command line (--upload, --help, --version) rather than
/// the window program. Read before any application object exists, since the window program's
/// would load a display's platform plugin.
bool wantsCommandLine(int argc, char* argv[]);

/// The command line without a window: `zelvic --upload FILE [--port NAME] [--settings STRING]
/// [--protocol N]`, --help and --version. Returns the exit status: 0 the file arrived, 1 the
/// transfer failed or was cancelled (SIGINT, SIGTERM), 2 refused before the transfer.
int runCommandLine(int argc, char* argv[]);

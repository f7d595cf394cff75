// Entry point of Quorvel.
#include <cstdlib>

#include "shell/Program.h"

int main(int argc, char** argv) {
  // Without a display the program still does its whole job, on the offscreen platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("quorvel"));
  TApplication::setApplicationDisplayName(QStringLiteral("Quorvel 3"));
  TApplication::setQuitOnLastWindowClosed(false);
  // Destroyed before the application object, so timers and windows go first.
  QuorvelProgram program(app);
  int exitCode = 0;
  if (!program.Start(exitCode)) return exitCode;
  return TApplication::exec();
}

// The program's main block on Qt: start-up checks, the single instance, the language module, the
// main window and the message loop.
#pragma once
// main() (src/app/qt/Main.cpp) makes the QApplication and calls RunProgram. The main window is
// made through a factory that the main window's own module registers (SetMainWindowFactory);
// until one is registered the program stops after InitApplication with a developer-output line
// and status 1.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace tf {

// What the main block needs of the main window.
class ProgramMainWindow {
 public:
  virtual ~ProgramMainWindow() = default;
  // The top-level window; the message loop runs until it is closed (and the QApplication quits).
  virtual QWidget* Window() = 0;
  // Opens one file handed over by a later start of the program (an absolute path). Called on the
  // user-interface thread; returns once the file was opened or its failure reported: the later
  // start is told the path arrived only after this returned.
  virtual void OpenFile(const std::string& path) = 0;
  // A later start asks to bring the program to the front: show the window normally (restoring it
  // when minimised), raise and activate it. The default does exactly that on Window().
  virtual void RaiseAndRestore();
};

// What the main window is made with.
struct ProgramStart {
  // The command line's arguments after the program's name, as typed (switches included); the
  // delayed start-up opens those that are files (platform's IsSwitchArg tells them apart).
  std::vector<std::string> arguments;
  // The program's folder (with a trailing '/') and file name.
  std::string programFolder;
  std::string programFileName;
};

// Makes the main window (not yet shown: the main block shows it). Null means it could not be made;
// the program then ends with status 1.
using MainWindowFactory = std::function<std::unique_ptr<ProgramMainWindow>(const ProgramStart& start)>;

// Registers the factory (an empty function removes it). Returns the one registered before.
MainWindowFactory SetMainWindowFactory(MainWindowFactory factory);
bool HasMainWindowFactory();

// The main block: runs with the QApplication made by main(); argv[0] is the program's path.
// Returns the exit status: 0, or 1 when the start was refused (the user declined, the files went to
// the running instance, the language module did not load, no main window).
int RunProgram(int argc, char** argv);

}  // namespace tf

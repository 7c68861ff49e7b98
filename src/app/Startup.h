// The start of the program without the window system: the switches, the start-up checks, the
// single-instance hand-off and the language module.
#pragma once
// The main block (app/qt/Program.h) runs, in order: StartupChecks, InitApplication, the main
// window, the message loop, the settings saved, the instance lock released.
//
// Switches begin with "-" or "/". Since "/" also begins absolute paths, an argument beginning
// with "/" is a file when that path exists or a second "/" comes before any ":" ("/tmp/x.tfi"),
// else a switch ("/render", "/t5", "/o:/home/out").
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SingleInstance.h"
#include "platform/Window.h"

namespace tf {

class CAppProfile;

// Process-wide values the switches set (render and viewer modes read them).
extern bool RenderOrViewerMode;
extern bool ViewerMode;
extern std::string OutputFolder;
extern int32_t ViewerWaitSeconds;
extern WindowHandle ResultWindow;
// Back to the defaults (false, false, "", 0, 0).
void ResetStartupValues();

// True when the argument is a switch; rest is then the argument without its first character.
// An empty argument is no switch.
bool IsSwitchArg(const std::string& argument, std::string& rest);

// Whether the arguments ask for an unattended run (a render or viewer switch): read before the
// application exists, to choose a window system that needs no display.
bool AsksUnattendedRun(const std::vector<std::string>& arguments);
// The Qt platform to start with: the one QT_QPA_PLATFORM names, else "offscreen" for an unattended
// run on a machine without DISPLAY and WAYLAND_DISPLAY, else "xcb" (floating tool windows place
// themselves, which needs X11). Empty means: keep what QT_QPA_PLATFORM says.
std::string ChoosePlatform(const std::vector<std::string>& arguments, const char* qpaPlatform, const char* display,
                           const char* waylandDisplay);

// Applies the switches among the arguments in order (a later switch of the same letter wins);
// arguments that are no switch are skipped. An unknown switch, or a t or w value that is not a
// 32-bit integer (decimal, or hexadecimal after "$"), warns "unknown command line switch!" with
// the whole argument and is otherwise ignored.
void ScanSwitches(const std::vector<std::string>& arguments);

// The path made absolute against the current folder (as typed when it already is, or when the
// current folder cannot be had).
std::string AbsolutePath(const std::string& path);

// The reply to the instance query for the current mode: "TF40", "TFVw" or "TFRe".
uint32_t QueryReply();

// Start-up checks: the colour depth question, the switches, the single instance.
//   1  end now: the user declined the colour depth question, or every file argument went to the
//      running instance
//   0  start normally (this start holds the instance lock, or runs in render or viewer mode)
//  -1  start normally: no lock could be had
//  -2  start normally: the lock is held but no instance answered, or it stopped acknowledging
//      files; the file arguments it acknowledged are taken out of arguments, the rest are opened
//      here.
// Render and viewer starts neither lock nor ask.
int32_t StartupChecks(std::vector<std::string>& arguments, InstanceHost& instance);

// The language module's path: the program's folder joined with its file name whose extension is
// ".enu" (added when the name has none).
std::string LanguageModulePath(const std::string& programFolder, const std::string& programFileName);

// Sets UiLanguage to 2 (other), then loads the language module as a whole; on success the blend
// modes take their names from it. On failure warns "Failed to load \"%s\"!" with the full path and
// answers false (the texts in use stay as they were).
bool LoadLanguageModule(CAppProfile& profile);

// Reads the settings (CAppProfile::LoadAll), then LoadLanguageModule; its result.
bool InitApplication(CAppProfile& profile);

}  // namespace tf

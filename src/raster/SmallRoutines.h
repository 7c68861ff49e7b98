// Small shared routines: file-name pieces, C strings, a decimal parser, window placement.
#pragma once
// Small routines many modules share: file-name pieces, C strings, a decimal parser, keeping a
// window on the screen. Allocation without exceptions (TryGetMem) is in platform/Memory.h,
// TryCreateFileStream in platform/Stream.h, GetShiftButtons in platform/Host.h.
#include <cstdint>
#include <string>

#include "platform/Host.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "platform/Window.h"
#include "raster/Geometry.h"

namespace tf {

// The file name without folder and extension ("/a/b.c.tfi" -> "b.c"). A leading dot of the
// name does not start an extension (".config" stays ".config").
std::string ExtractFileTitle(const std::string& path);

// The folder with a '/' added when missing, then the name. An empty folder gives the name.
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder of a path with its trailing '/' (empty without one), and the name after it.
std::string FolderPart(const std::string& path);
std::string NamePart(const std::string& path);
// Something exists at the path (any kind of file).
bool FileExists(const std::string& path);

// A copy of the string in a block of length + 2 bytes from TryGetMem (both bytes after the
// text zero); the caller frees it with FreeMem. Null when text is null or memory runs out.
char* StrNewCopy(const char* text);

// Skips spaces, then reads decimal digits (value*10 + digit, wrapping in 32 bits). False with
// value 0 when no digit follows the spaces. `used` counts the spaces and the digits.
bool ParseDecimal(const char* text, int32_t& value, int32_t& used);

inline bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// Index of the first occurrence of c in text, or of its terminating zero.
int32_t StrScanLen(const char* text, char c);

// Writes the string without its terminator; true when every byte was written.
bool StreamWriteCStr(Stream& stream, const char* text);

// Finds the position of the window that keeps it inside the virtual screen (the primary
// screen's width or height stands in where the virtual one is 0). Writes the new left and top
// to position and returns true when they differ from the window's current ones. A window
// larger than the screen goes to the screen's left or top edge. False (position untouched)
// when the window or the screen is unknown.
bool FitWindowToScreen(WindowHandle window, TPoint& position);

// Moves the window inside the virtual screen when it is not; returns whether it moved.
bool KeepFormOnScreen(WindowHandle window);

// Marks a condition that should hold; returns it and does nothing else.
inline bool DebugAssert(bool condition) { return condition; }

}  // namespace tf

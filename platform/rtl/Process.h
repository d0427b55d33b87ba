// Starting other programs.
#pragma once

#include <string>
#include <vector>

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;

// Splits a command line the way the system does: blanks separate arguments, double quotes group
// (a quote inside quotes is written as \" or ""), backslashes are literal unless they precede a quote.
[[nodiscard]] std::vector<std::string> SplitCommandLine(const std::string& CommandLine);

// Starts the program named first on the command line, detached, with the rest as its arguments, in
// WorkingDir (the current directory when empty; a relative one is taken from the current directory);
// this process's current directory is not changed. The program is looked up through the path resolver
// relative to WorkingDir, then, for a bare name only, on PATH; a name ending in ".exe" that is not found
// is tried without it. The child executes the file found, by its absolute path. No shell is involved.
// The program holds only this process's standard input, output and error, and starts with no signal
// blocked and a broken pipe ending it.
// CmdShow is accepted and ignored.
// Returns a value above 31 on success, 2 when the program was not found, 0 when no process could be
// made (as the system's WinExec).
unsigned WinExec(const std::string& CommandLine, int CmdShow, const std::string& WorkingDir = "");

// Hands Address to the desktop's opener (xdg-open, looked up on PATH only), started as WinExec starts a
// program: detached, holding only this process's standard descriptors. False when there is no opener
// or it could not be started.
bool OpenWithDesktop(const std::string& Address);

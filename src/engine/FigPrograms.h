#pragma once
// The programs a topic names in its PROCESS key hold its files while they run (a browser and its
// history); their findings are not repaired until they end.

#include <string>
#include <vector>

// The programs of a PROCESS value ("chrome.exe;msedge.exe") that run now, each once, as the value
// writes them. None when the value is empty; every program of the value when the running
// programs cannot be listed, since any of them may then be running.
std::vector<std::wstring> RunningProgramsOf(const std::wstring& aPrograms);

// The name people know a program by ("Google Chrome" for chrome.exe); the file name itself for a
// program not known here.
std::wstring ProgramCaption(const std::wstring& aProgram);

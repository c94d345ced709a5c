#pragma once
// Scratch files for the Windows tests.

#include <windows.h>

#include <string>

namespace ktest::win32 {

// The system's temporary folder, with its trailing backslash.
std::wstring TempFolder();
// Whether a file or folder is at aPath.
bool Exists(const std::wstring& aPath);
// A file's bytes ("" when it cannot be read), and a file made of aBytes.
std::string ReadAll(const std::wstring& aFile);
void WriteAll(const std::wstring& aFile, const std::string& aBytes);
// Removes a file or a folder with everything in it. A reparse point is removed as the link it
// is, never followed: a junction out of a scratch folder must not take its target with it.
void RemoveTree(const std::wstring& aPath);
bool IsReparsePoint(const std::wstring& aPath);
// Makes aLink (created when missing) a junction to the folder aTarget, or else a directory
// symbolic link, or else under Wine a Unix symbolic link; false when the system allows none.
bool MakeJunction(const std::wstring& aLink, const std::wstring& aTarget);
// Under Wine only: makes aLink, which must not exist, a Unix symbolic link to the folder aTarget
// with the host's own "ln" (Wine shows it as a reparse point but cannot make one itself).
bool MakeUnixLink(const std::wstring& aLink, const std::wstring& aTarget);

} // namespace ktest::win32

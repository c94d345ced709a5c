#pragma once
// The folders a disk location names. A location may hold environment variables ("%LocalAppData%")
// and "*" / "?" wildcards in any of its folder parts, so one location may name every profile of
// a browser; each folder it names is walked as a location of its own.

#include <string>
#include <string_view>
#include <vector>

// The location with every "%NAME%" replaced by the variable's value. False when a variable it
// names is not set (or empty): such a location names nothing, and must never be read as a
// folder below the current one. A "%" that opens no name (no closing "%", or a backslash before
// it) stays as written.
bool ExpandLocationVariables(const std::wstring& aLocation, std::wstring& aExpanded);

// The existing folders a full path (drive or network path) with wildcards in its folder parts
// names, in the order the system lists them. A wildcard part matches only real folders, never a
// junction or symbolic link; a path without wildcards gives itself when it is a folder.
std::vector<std::wstring> MatchWildcardFolders(const std::wstring& aPath);

// Whether the text holds a "*" or "?".
bool HasWildcard(std::wstring_view aText);

// Every existing folder a topic's disk location names: "@Name" a shell folder or the temporary
// or debug folder, anything else with its variables expanded and its wildcards matched. Nothing
// for a location whose variable is not set or that is no full path. (Defined beside the scan
// worker's walks, which use it.)
std::vector<std::wstring> DiskFoldersOf(const std::wstring& aLocation);

#pragma once
// Rule files in the Winapp2 format, written for the tests: one with every key form, and one with
// malformed lines beside good ones.

#include <string_view>

// Five entries: every category, detection and deletion form, each ExcludeKey kind and each
// variable; CRLF line ends, as the published files have them.
extern const std::string_view kWinapp2Sample;

// Rules no cleaner may follow, one per line from line 4 on, each beside a safe one of the same
// kind: drives, the Windows folder and its parts, program-files folders, the profile and the
// user's own folders, and registry keys of roots, vendors and Windows itself.
extern const std::string_view kWinapp2Hostile;

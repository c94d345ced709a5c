#pragma once

#include <filesystem>

// The root of the source tree the tests were built from, for tests that read shipped files
// (data/, src/). The build names it, so it holds however the compiler was handed the sources.
std::filesystem::path SourceTree();

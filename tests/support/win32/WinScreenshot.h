#pragma once
// Screenshots and PNG files for the Windows tests, and a bounded wait that keeps the thread's
// windows working.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ktest::win32 {

// Writes aPixels (aWidth x aHeight, rows top-down, 0xAARRGGBB with straight alpha) as a PNG
// file; false when the file cannot be written.
bool SaveBgraPng(const std::vector<uint32_t>& aPixels, int aWidth, int aHeight,
                 const std::wstring& aPath);
// Saves what the screen shows of the window's rectangle (its frame included) as a PNG file.
bool SaveWindowPng(HWND aWindow, const std::wstring& aPath);
// "<folder>\<aName>.png", the folder made when missing: the environment variable
// KESTROVA_SCREENSHOTS (a Unix path is taken as Wine maps it), else "screenshots" in the build
// tree's parent folder, which is the same for every build folder.
std::wstring ScreenshotPath(const std::wstring& aName);

// Serves the thread's messages until aDone() is true (checked after every message and at least
// every 20 ms) or aLimitMs have passed; returns aDone()'s last answer.
bool PumpUntil(const std::function<bool()>& aDone, DWORD aLimitMs);

} // namespace ktest::win32

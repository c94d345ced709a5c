#pragma once
// Pictures for the Win32 binding: PNG files decoded by the Windows Imaging Component, the
// system image list of a TImageList, and drawing with the picture's own transparency.
// GUI thread only.

#include "components/CLNonVisual.h"

#include <windows.h>

#include <commctrl.h>

#include <string>

// The PNG file as a top-down 32-bit DIB section with premultiplied alpha (the form AlphaBlend
// and UpdateLayeredWindow take) and its size in pixels. nullptr, with a size of 0 x 0, when the
// file is missing, unreadable, corrupt or too large. The caller deletes the bitmap.
HBITMAP LoadPngBitmap(const std::wstring& aPath, int& aWidth, int& aHeight);

// Draws a bitmap made by LoadPngBitmap into aRect, scaled to it, blended over what is there.
void DrawPng(HDC aDC, HBITMAP aBitmap, RECT aRect);

// The system image list holding aList's pictures, cut from its PNG strip left to right, then top
// to bottom; nullptr while the list is empty or its file cannot be decoded. It is made on first
// use, made again when the list's file, picture size or count changes (or the file is written
// again), and destroyed when the list is freed: callers never destroy it.
HIMAGELIST WinImageList(TImageList& aList);

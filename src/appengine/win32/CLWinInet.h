#pragma once
// The transfers of TSingleDownloader on WinInet (Windows build only).

#include "appengine/SingleDownloader.h"

#include <memory>

// A WinInet session with the system's proxy configuration for one request.
std::unique_ptr<ITransfer> CreateWinInetTransfer();
// Makes WinInet the transfer of every TSingleDownloader; returns the previous factory.
TTransferFactory InstallWinInetTransfer();

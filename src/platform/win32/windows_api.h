#pragma once

// windows.h for the Win32 implementation, without the macros that would rename the Platform
// interface's own members (DeleteFile becoming DeleteFileW, OemToAnsi becoming OemToCharA).
#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <shlobj.h>

#undef AnsiToOem
#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef GetDriveType
#undef MoveFile
#undef OemToAnsi
#undef ReplaceFile
#undef SetVolumeLabel

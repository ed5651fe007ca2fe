// Program resources of the kernel (FindResourceA and friends). This program is built
// without resources, so every lookup answers "not found" as Windows does for a name the
// module does not carry.
#pragma once

#include "platform/win32/WinTypes.h"

using HRSRC = struct HRSRC__*;
using HGLOBAL = void*;

constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// Null: no such resource in the module (a null module is the program itself).
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
// Null for a null resource.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// 0 for a null resource.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Null for a null handle.
void* LockResource(HGLOBAL data);

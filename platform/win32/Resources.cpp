#include "platform/win32/Resources.h"

#include "platform/win32/CallTrace.h"

#include <string>

HRSRC FindResourceA(HMODULE, const char* name, const char* type) {
    CallTrace::Record(std::string("FindResourceA ") + (name != nullptr ? name : "") + " " + (type != nullptr ? type : ""));
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC) { return nullptr; }

DWORD SizeofResource(HMODULE, HRSRC) { return 0; }

void* LockResource(HGLOBAL) { return nullptr; }

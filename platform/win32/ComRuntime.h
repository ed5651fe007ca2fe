// The COM runtime calls the engine makes: apartment initialisation and object creation by
// class id. Stand-ins that COM would create (the filter graph, the web browser, ...) register
// a factory for their class id; CoCreateInstance of an unregistered class fails as Windows
// does with REGDB_E_CLASSNOTREG.
#pragma once

#include "platform/win32/Com.h"

#include <functional>

constexpr HRESULT RPC_E_CHANGED_MODE = MakeHResult(0x80010106u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_ALL = 0x17;

// S_OK the first time on a thread, S_FALSE when already initialised (each call still
// needs its CoUninitialize).
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

namespace ComRuntime {

// Creates the object and returns it with one reference, or null.
using Factory = std::function<IUnknown*()>;
void RegisterClass(REFCLSID clsid, Factory factory);
void UnregisterClass(REFCLSID clsid);
// Balance of CoInitialize over CoUninitialize calls.
int InitCount();
// The next CoCreateInstance fails with this result (once), for tests of failure paths.
void FailNextCreate(HRESULT result);

}  // namespace ComRuntime

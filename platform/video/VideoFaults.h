// Failure injection shared by the video stand-ins (DirectDraw and multimedia streaming): a test
// arms a failure for one call by its name, and the next such call returns it instead of working.
#pragma once

#include "platform/win32/Com.h"

#include <initializer_list>
#include <string>

namespace VideoFaults {

// Names are the methods' own ("DirectDrawCreate", "SetCooperativeLevel", "CreateSurface", "Lock",
// "Initialize", "AddMediaStream", "OpenFile", "GetMediaStream", "GetFormat", "CreateSample",
// "GetFilterGraph", "SetState", "Seek", "Update", "put_Volume").
void FailNext(const std::string& call, HRESULT result);
// The next QueryInterface of any video stand-in (the graph included) for that interface fails.
void FailQuery(const IID& iid, HRESULT result);
void Clear();
// For the stand-ins: true (with the armed result, consumed) when the call must fail.
bool Take(const char* call, HRESULT& result);
bool TakeQuery(const IID& iid, HRESULT& result);

// QueryInterface as every video stand-in answers it: E_POINTER for a null out, else the armed
// query failure, else the object (AddRef'd) of the answer naming riid, else E_NOINTERFACE. An
// answer with a null object is an interface not offered at the moment.
struct QueryAnswer {
    IID iid;
    IUnknown* object;
};
HRESULT Query(REFIID riid, void** object, std::initializer_list<QueryAnswer> answers);

}  // namespace VideoFaults

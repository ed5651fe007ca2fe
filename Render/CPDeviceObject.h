// Base of objects holding device resources that do not survive a device reset (effects,
// the batchers' vertex blocks, the sky's vertex objects). Each object is listed for its
// whole life, in order of construction, so the host can walk the list around a Reset:
// OnLostDevice on every object before it, OnResetDevice after it.
#pragma once

#include <list>

class CPDeviceObject {
public:
    CPDeviceObject();
    virtual ~CPDeviceObject();
    CPDeviceObject(const CPDeviceObject&) = delete;
    CPDeviceObject& operator=(const CPDeviceObject&) = delete;

    // Gives up everything that a reset would invalidate.
    virtual void OnLostDevice() = 0;
    // Recreates it on the reset device.
    virtual void OnResetDevice() = 0;

    // The live device objects in order of construction.
    static const std::list<CPDeviceObject*>& List();
    // Walks the list; an object may not create or destroy device objects from these calls.
    static void LoseAll();
    static void ResetAll();

private:
    std::list<CPDeviceObject*>::iterator Entry;
};

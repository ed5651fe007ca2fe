#include "Render/CPDeviceObject.h"

namespace {

// Created on first use so that device objects of static lifetime find it ready.
std::list<CPDeviceObject*>& DeviceObjectList() {
    static std::list<CPDeviceObject*> list;
    return list;
}

}  // namespace

CPDeviceObject::CPDeviceObject() : Entry(DeviceObjectList().insert(DeviceObjectList().end(), this)) {}

CPDeviceObject::~CPDeviceObject() { DeviceObjectList().erase(Entry); }

const std::list<CPDeviceObject*>& CPDeviceObject::List() { return DeviceObjectList(); }

void CPDeviceObject::LoseAll() {
    for (CPDeviceObject* object : DeviceObjectList()) {
        object->OnLostDevice();
    }
}

void CPDeviceObject::ResetAll() {
    for (CPDeviceObject* object : DeviceObjectList()) {
        object->OnResetDevice();
    }
}

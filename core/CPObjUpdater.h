// A task whose step calls one member function of another object, e.g. the level's race
// update. The call is bound with its type at construction, so the target's class needs no
// common base and no address adjustment is stored.
//
// The target is not referenced: its owner keeps it alive while the updater is scheduled.
#pragma once

#include "core/CPTask.h"

#include <concepts>
#include <functional>
#include <string>

class CPObjUpdater : public CPTask {
public:
    CPObjUpdater() = default;
    // A null target gives an updater whose step does nothing. The method may be one of a
    // base class of the target's.
    template <class T, class C>
        requires std::derived_from<T, C>
    CPObjUpdater(T* target, void (C::*method)(), int kind = 0) : Kind(kind), Target(target) {
        if (target != nullptr && method != nullptr) {
            Method = [target, method] { (target->*method)(); };
        }
    }

    void Update() override;
    int GetKind() const override { return Kind; }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "CPObjUpdater"; }

    int Kind = 0;
    // The object the method is called on; not referenced.
    void* Target = nullptr;
    std::function<void()> Method;
};

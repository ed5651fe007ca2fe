// dynamic_cast for hot paths where the object is nearly always of exactly the class asked for:
// one comparison of type identities settles that case, and only another class (a derived one,
// or an unrelated one) takes the full cast.
#pragma once

#include <typeinfo>

template <class T, class From>
T* ExactCast(From* object) {
    if (object == nullptr) {
        return nullptr;
    }
    if (typeid(*object) == typeid(T)) {
        return static_cast<T*>(object);
    }
    return dynamic_cast<T*>(object);
}

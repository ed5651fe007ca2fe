// Configuration variable objects: each binds one configuration key to a global int or
// float and converts between it and text (classic-locale stream semantics, NumberText.h).
#pragma once

#include "core/CPObject.h"

#include <cstdint>
#include <string>

class CPDator : public CPObject {
public:
    std::string GetTypeName() const override { return "CPDator"; }

    // A text that does not begin with a number (or is out of range) changes nothing.
    virtual void Set(const std::string& text) = 0;
    virtual void Add(const std::string& text) = 0;
    virtual void Sub(const std::string& text) = 0;
    // Textual comparison with ToString(): a float 0.5 equals "0.5", not "0.50".
    virtual bool Equals(const std::string& text) const = 0;
    virtual bool NotEquals(const std::string& text) const = 0;
    virtual bool IsList() const = 0;
    virtual std::string ToString() const = 0;
};

// The int and float kinds. The variable is not owned and outlives the object.
template <class T>
class CPDatorOf final : public CPDator {
    static_assert(std::is_same_v<T, int32_t> || std::is_same_v<T, float>);

public:
    explicit CPDatorOf(T* variable) : Variable(variable) {}

    size_t GetObjectSize() const override { return sizeof(*this); }
    void Set(const std::string& text) override;
    void Add(const std::string& text) override;
    void Sub(const std::string& text) override;
    bool Equals(const std::string& text) const override { return ToString() == text; }
    bool NotEquals(const std::string& text) const override { return !Equals(text); }
    bool IsList() const override { return false; }
    std::string ToString() const override;

    T* const Variable;
};

extern template class CPDatorOf<int32_t>;
extern template class CPDatorOf<float>;

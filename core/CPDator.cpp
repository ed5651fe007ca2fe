#include "core/CPDator.h"

#include "core/NumberText.h"

namespace {

bool Parse(const std::string& text, int32_t& value) { return TextToInt(text, value); }
bool Parse(const std::string& text, float& value) { return TextToFloat(text, value); }
std::string Format(int32_t value) { return IntToText(value); }
std::string Format(float value) { return FloatToText(value); }

// 32-bit signed arithmetic that wraps instead of overflowing.
int32_t Sum(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
float Sum(float a, float b) { return a + b; }
int32_t Negate(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
float Negate(float a) { return -a; }

}  // namespace

template <class T>
void CPDatorOf<T>::Set(const std::string& text) {
    T value{};
    if (Parse(text, value)) {
        *Variable = value;
    }
}

template <class T>
void CPDatorOf<T>::Add(const std::string& text) {
    T value{};
    if (Parse(text, value)) {
        *Variable = Sum(*Variable, value);
    }
}

template <class T>
void CPDatorOf<T>::Sub(const std::string& text) {
    T value{};
    if (Parse(text, value)) {
        *Variable = Sum(*Variable, Negate(value));
    }
}

template <class T>
std::string CPDatorOf<T>::ToString() const {
    return Format(*Variable);
}

template class CPDatorOf<int32_t>;
template class CPDatorOf<float>;

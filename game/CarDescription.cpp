#include "game/CarDescription.h"

#include "core/CPLog.h"
#include "core/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <initializer_list>

namespace {

// The element at the end of the path of first child elements, or null.
const TiXmlElement* FindPath(const TiXmlNode& document, std::initializer_list<const char*> path) {
    const TiXmlNode* node = &document;
    for (const char* step : path) {
        node = node->FirstChildElement(step);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node->ToElement();
}

// The attribute as a number that fits a float, or nothing (absent, not a number, too big).
std::optional<float> ReadNumber(const TiXmlElement& element, const char* name) {
    const char* text = element.Attribute(name);
    double value = 0.0;
    if (text == nullptr || !TextToDouble(text, value)) {
        return std::nullopt;
    }
    const float narrowed = static_cast<float>(value);
    if (!std::isfinite(narrowed)) {
        CPLog::GetInstance().Write(0, "car description: <%s %s=\"%s\"> is out of range and ignored\n",
                                   element.Value(), name, text);
        return std::nullopt;
    }
    return narrowed;
}

void ReadInto(const TiXmlElement& element, const char* name, float& field) {
    if (const std::optional<float> value = ReadNumber(element, name)) {
        field = *value;
    }
}

// "%.2f" in the C locale, whatever the process locale.
void AppendTwoDecimals(std::string& text, float value) {
    char digits[64];
    const auto result = std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::fixed, 2);
    text.append(digits, result.ptr);
}

// The values joined by commas, each with two decimals.
std::string JoinTwoDecimals(std::initializer_list<float> values) {
    std::string text;
    for (float value : values) {
        if (!text.empty()) {
            text += ',';
        }
        AppendTwoDecimals(text, value);
    }
    return text;
}

void ReadWheelGeometry(const TiXmlElement& wheels, CarParams& params) {
    if (const std::optional<float> count = ReadNumber(wheels, "count")) {
        // Truncated toward zero; the model has room for MaxWheels.
        const float clamped = std::clamp(std::trunc(*count), 0.0f, static_cast<float>(CarParams::MaxWheels));
        if (clamped != std::trunc(*count)) {
            CPLog::GetInstance().Write(0, "car description: wheel count %g taken as %g\n",
                                       static_cast<double>(*count), static_cast<double>(clamped));
        }
        params.WheelCount = static_cast<int32_t>(clamped);
    }
    ReadInto(wheels, "x", params.WheelX);
    ReadInto(wheels, "y", params.WheelY);
    ReadInto(wheels, "length", params.Length);
    ReadInto(wheels, "radius", params.Radius);
    ReadInto(wheels, "front_min_radius", params.FrontMinRadius);
    ReadInto(wheels, "back_min_radius", params.BackMinRadius);
    // "width" is part of the format but drives nothing.
    if (const char* fixed = wheels.Attribute("fixed")) {
        std::string lower(fixed);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        params.FixedMin = lower == "min";
        params.FixedMax = lower == "max";
    }
}

// The command texts of the player's car; a value the description lacks is sent as 0.00.
CarCommandTexts ReadCommandTexts(const TiXmlNode& document, float angle) {
    float fovDiv = 0.0f;
    float accelFront = 0.0f;
    float accelBack = 0.0f;
    float speedFront = 0.0f;
    float speedBack = 0.0f;
    if (const TiXmlElement* camera = FindPath(document, {"camera"})) {
        ReadInto(*camera, "fov_div", fovDiv);
    }
    if (const TiXmlElement* acceleration = FindPath(document, {"physics", "params", "acceleration"})) {
        ReadInto(*acceleration, "accel_front", accelFront);
        ReadInto(*acceleration, "accel_back", accelBack);
        ReadInto(*acceleration, "speed_front", speedFront);
        ReadInto(*acceleration, "speed_back", speedBack);
    }
    return CarCommandTexts{JoinTwoDecimals({angle, fovDiv, accelFront, accelBack}),
                           JoinTwoDecimals({speedFront, speedBack})};
}

}  // namespace

std::optional<CarCommandTexts> ReadCarDescription(const TiXmlNode& document, CarParams& params) {
    if (const TiXmlElement* wheels = FindPath(document, {"physics", "geometry", "wheels"})) {
        ReadWheelGeometry(*wheels, params);
    }
    if (const TiXmlElement* physics = FindPath(document, {"physics"})) {
        const char* debug = physics->Attribute("debug");
        if (debug != nullptr && std::string(debug) == "true") {
            params.Debug = true;
        }
    }
    if (const TiXmlElement* wheels = FindPath(document, {"physics", "params", "wheels"})) {
        ReadInto(*wheels, "spring1", params.Spring1);
        ReadInto(*wheels, "spring2", params.Spring2);
        ReadInto(*wheels, "damping", params.Damping);
    }
    std::optional<CarCommandTexts> commands;
    if (const TiXmlElement* speed = FindPath(document, {"physics", "params", "speed"})) {
        ReadInto(*speed, "max_front_speed", params.MaxFrontSpeed);
        ReadInto(*speed, "max_rear_speed", params.MaxRearSpeed);
        if (const std::optional<float> angle = ReadNumber(*speed, "angle")) {
            commands = ReadCommandTexts(document, *angle);
        }
    }
    if (const TiXmlElement* friction = FindPath(document, {"physics", "params", "friction"})) {
        ReadInto(*friction, "front", params.FrictionFront);
        ReadInto(*friction, "back", params.FrictionBack);
        ReadInto(*friction, "slide", params.Slide);
    }
    if (const TiXmlElement* acceleration = FindPath(document, {"physics", "params", "acceleration"})) {
        ReadInto(*acceleration, "front", params.AccelFront);
        ReadInto(*acceleration, "back", params.AccelBack);
        ReadInto(*acceleration, "brake", params.Brake);
    }
    if (const TiXmlElement* inertion = FindPath(document, {"physics", "params", "inertion"})) {
        ReadInto(*inertion, "yaw", params.InertionYaw);
        ReadInto(*inertion, "pitch", params.InertionPitch);
    }
    if (const TiXmlElement* shadow = FindPath(document, {"render", "shadow"})) {
        if (const char* name = shadow->Attribute("name")) {
            params.ShadowName = name;
        }
    }
    return commands;
}

bool ParseCarDescription(const std::string& text, TiXmlDocument& document, std::string& reason) {
    document.Clear();
    document.ClearError();
    // TinyXML steps over a whole UTF-8 character at once, so a lead byte at the very end takes
    // it past a single terminating zero: give it as many zeros as a character is long.
    std::string padded(text);
    padded.append(8, '\0');
    document.Parse(padded.c_str());
    if (document.Error()) {
        reason = std::string(document.ErrorDesc()) + " at row " + std::to_string(document.ErrorRow()) +
                 ", column " + std::to_string(document.ErrorCol());
        return false;
    }
    if (document.RootElement() == nullptr) {
        reason = "no element";
        return false;
    }
    return true;
}

std::optional<float> ReadCarNumber(const TiXmlElement& element, const char* name) { return ReadNumber(element, name); }

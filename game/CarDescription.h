// The car description: the vehicle-model values of a car's XML document (the description of
// its body object) and the two parameter texts the race scripts get for the player's car.
//
// The reader is a pure function of the document: values it finds replace those of the
// record, everything missing keeps the record's value (the model's defaults for a new car).
// Numbers are read in the C locale, decimal only, and stored as floats; a number that does
// not fit a float is ignored with a log line. Element paths start at the document's
// top-level elements; each step is the first child element of that name.
#pragma once

#include <tinyxml.h>

#include <cstdint>
#include <optional>
#include <string>

// The vehicle-model values a description sets, with the model's defaults. CPCar carries
// them as its own fields.
struct CarParams {
    static constexpr int32_t MaxWheels = 8;

    int32_t WheelCount = 4;        // 0..MaxWheels
    float WheelX = 0.0f;           // lateral shift of a sensor from its wheel mesh, m
    float WheelY = 0.0f;           // body-space z of the sensor starts and the wheels' rest height, m
    float Length = 1.5f;           // sensor line length, m
    float Radius = 0.5f;           // wheel radius, m
    float FrontMinRadius = 0.0f;   // upper limit of a front wheel mesh's offset, m
    float BackMinRadius = 0.0f;    // the same for the rear wheels
    bool FixedMin = false;         // wheel meshes stay at the min-radius limits
    bool FixedMax = false;         // wheel meshes stay at the sensors' full extension
    bool Debug = false;            // draw the sensor lines
    float Spring1 = 140.0f;        // front spring rate, N/m
    float Spring2 = 150.0f;        // rear spring rate, N/m
    float Damping = 150.0f;        // damper rate of every wheel, N·s/m
    float MaxFrontSpeed = 30.0f;   // tuning value only
    float MaxRearSpeed = 15.0f;    // tuning value only
    float FrictionFront = 100.0f;  // lateral grip of a front wheel, N
    float FrictionBack = 240.0f;   // lateral grip of a rear wheel, N
    float Slide = 0.9f;            // share of rear grip lost while braking
    float AccelFront = 100.0f;     // forward drive per wheel, N; also scales the nitro push
    float AccelBack = 100.0f;      // reverse drive per wheel, N
    float Brake = 100.0f;          // tuning value only
    float InertionYaw = 0.0f;      // tuning value only
    float InertionPitch = 0.1f;    // scales the torque of locked-wheel braking
    std::string ShadowName;        // texture of the car's shadow
};

// The parameter texts of "set_car_params" ("%.2f,%.2f,%.2f,%.2f": angle, fov_div,
// accel_front, accel_back) and "set_car_params2" ("%.2f,%.2f": speed_front, speed_back).
struct CarCommandTexts {
    std::string CarParams;
    std::string CarParams2;
};

// Reads the description into params. Returns the two command texts when "physics"/"params"/
// "speed" carries a numeric "angle" (values it lacks are sent as 0.00), else nothing.
std::optional<CarCommandTexts> ReadCarDescription(const TiXmlNode& document, CarParams& params);

// An attribute of the description as a number that fits a float (the reader's rules); nothing
// when it is absent or not such a number.
std::optional<float> ReadCarNumber(const TiXmlElement& element, const char* name);

// Parses text as a car description document: false with TinyXML's reason (and where) when
// it is not well-formed XML or holds no element.
bool ParseCarDescription(const std::string& text, TiXmlDocument& document, std::string& reason);

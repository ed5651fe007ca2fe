// The size of a picture file from its header alone: DDS, PNG and JPEG through the platform's
// header readers, TGA and BMP read here. A header that does not hold together (a wrong kind,
// a zero or negative size, pixel data that the file is too short to hold, run-length packets
// that run past its end) is refused. Pure: bytes in, size out.
#pragma once

#include <cstddef>
#include <cstdint>

struct ImageSize {
    uint32_t Width = 0;
    uint32_t Height = 0;
};

// False for a file that is not a readable picture of one of the five kinds.
bool ReadImageSize(const uint8_t* data, size_t size, ImageSize& out);

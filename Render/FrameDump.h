// A readable text of what one frame asked of the recording device: its calls in order, with
// the frame drawing's own notes (layers, material blocks, screen passes) placed among them.
// Tests compare it with an expected text; the framedump tool prints it for a scene, to show
// what the engine draws on this platform.
//
// Buffers and textures are named by order of first appearance (vb1, ib1, tex1) so the text
// does not depend on addresses; runs of LightEnable with one value are joined ("0-29 0").
#pragma once

#include "platform/d3d9/D3D9Device.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class FrameDump {
public:
    // Takes in the calls the device records from now on; null gives an empty dump.
    explicit FrameDump(IDirect3DDevice9* device);

    // A note of the frame drawing, placed after the calls recorded so far.
    void Mark(const std::string& text);
    // The notes and calls since construction, one per line.
    std::string Text() const;

private:
    D3D9RecordingDevice* device = nullptr;
    size_t first = 0;
    std::vector<std::pair<size_t, std::string>> marks;  // call index, text
};

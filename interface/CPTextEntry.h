// One text label of a screen: the node that carries its glyph quads, and the font, origin and
// text it is drawn with, so the label can be drawn again when its text, font or place changes.
// A plain record copied by value (a copy holds one more reference to the node).
#pragma once

#include "core/CPtr.h"
#include "scene/CPGameObject.h"

#include <string>

struct CPTextEntry {
    CPtr<CPGameObject> Object;  // "text", RenderKind 0 with a CPRenderObject; a child of the screen
    std::string Font;           // key into CPFontManager::Fonts
    float X = 0.0f;             // origin in screen pixels (top of the first line)
    float Y = 0.0f;
    std::string Text;           // the label's text as last set; the loader draws without storing
};

// The fonts by name and the building of text labels: every character of a text becomes one
// quad cut from its font's texture, written into the render object of the label's node in
// screen pixels (the node is never moved, so its transform stays the identity).
//
// The game program loads its fonts at start-up (LoadFont); the host owns the manager and sets
// Instance. A label asking for a font that is not loaded is drawn empty, and nothing is
// inserted under that name.
#pragma once

#include "Render/CPRenderObject.h"
#include "core/CPObject.h"
#include "core/CPtr.h"
#include "interface/CPFont.h"
#include "scene/CPGameObject.h"

#include <string>
#include <unordered_map>

class CPFontManager : public CPObject {
public:
    CPFontManager();
    ~CPFontManager() override;

    size_t GetObjectSize() const override { return sizeof(CPFontManager); }
    std::string GetTypeName() const override { return "CPFontManager"; }

    // Reads "Data\Interface\" + name + ".fnt" (our font format, interface/FontFile.h) and
    // registers the font under name with the material of "interface.fx", its texture and the
    // type 200, replacing a font of that name. False, reported to the log, when the file
    // cannot be read or is damaged; nothing is registered then, and problem (when given)
    // says why.
    bool LoadFont(const std::string& name, std::string* problem = nullptr);
    // Registers a font made by the caller (null removes the name).
    void AddFont(const std::string& name, CPtr<CPFont> font);
    // The font of that name or null; inserts nothing.
    CPtr<CPFont> FindFont(const std::string& name) const;

    // Replaces the glyph quads of the node's render object by those of text at (x, y) in the
    // font, and gives it the font's material. Null, changing nothing, unless the node is a
    // mesh node (RenderKind 0) with a CPRenderObject. An unknown font leaves the label empty.
    // The text, font and origin of the quads already there change nothing.
    CPtr<CPRenderObject> BuildText(CPtr<CPGameObject> node, float x, float y, const std::string& font,
                                   const std::string& text);

    std::unordered_map<std::string, CPtr<CPFont>> Fonts;

    static CPFontManager* Instance;

private:
    // Release frees nothing: the manager owns the fonts it loaded.
    std::unordered_map<std::string, std::unique_ptr<CPFont>> loaded;
};

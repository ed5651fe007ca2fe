// A cloud set: cloud shapes placed around one point, shown or hidden together when the sky's
// schedule switches sets.
//
// Cloud-set file, one line each: position x y z; Extra1; Extra2; Extra3 x y z; Extra4; block
// count N; then N blocks of five lines: description file name, offset x y z, scale, turn about
// z in radians, weight.
#pragma once

#include "DynamicSky/CloudDescription.h"
#include "platform/d3dx/D3DXMath.h"

#include <memory>
#include <string>
#include <vector>

// A cloud-set file as records, before any description is loaded.
struct CloudSetFile {
    struct Block {
        std::string Name;
        D3DXVECTOR3 Offset;
        float Scale = 0.0f;
        float Angle = 0.0f;
        float Weight = 0.0f;
    };
    D3DXVECTOR3 Position;
    float Extra1 = 0.0f;
    int Extra2 = 0;
    D3DXVECTOR3 Extra3;
    float Extra4 = 0.0f;
    std::vector<Block> Blocks;
};

// Blocks start only while lines remain; a last block cut short reads its missing lines as 0.
void ParseCloudSetFile(const char* text, int length, CloudSetFile& file);

class CloudSet {
public:
    struct Entry {
        std::unique_ptr<CloudDescription> Description;
        float Weight = 0.0f;
    };

    CloudSet() = default;
    virtual ~CloudSet() = default;
    // Owns its descriptions; the sky keeps pointers to sets.
    CloudSet(const CloudSet&) = delete;
    CloudSet& operator=(const CloudSet&) = delete;

    // Reads "Data\Clouds\" + name and loads the descriptions it names; a file that cannot be
    // read changes nothing, a description that cannot be read is kept without puffs.
    void Load(const std::string& name);
    // Shows or hides the set's descriptions: gradually, or at once with instant.
    void SetVisible(bool on, bool instant);

    std::vector<Entry> Entries;             // owning, file order
    std::vector<CloudDescription*> Members;  // the same descriptions, not owning
    D3DXVECTOR3 Position;
    float Extra1 = 0.0f;
    int Extra2 = 0;
    D3DXVECTOR3 Extra3;
    float Extra4 = 0.0f;
    bool Shown = false;
    bool Hiding = false;
    bool Done = false;  // false while the set is the sky's current set; nothing reads it
};

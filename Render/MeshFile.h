// Reader of the binary mesh files under "Data\Meshes": bytes to node records, without the
// scene, the renderer or the resource managers, so damaged files can be tested and fuzzed on
// their own. The scene loader builds nodes from the records.
//
// Three kinds of file share one frame: a head of two int32 (the first not interpreted, the
// second the node count), then node records of one kind:
//   static  (names not ending in "p3d"): int32, name[260], vertices, indices, collision boxes,
//           children;
//   physics (names ending in "p3d"): int32, name[260], placement, body, vertices, indices,
//           shape records, children;
//   animated (listed by an "anim" head line): exactly one record of name[260], placement,
//           body, bounds, a key-frame block, shape records, children (no leading int32).
// Static and physics files may end in a named-transform tail (int32 count, then per entry a
// string and 12 floats). Little-endian throughout; vertices are the 48-byte CPVertex.
//
// Every count is checked against the bytes left before anything is reserved; a negative
// count reads as 0; a name without its zero is cut at 259 characters; nesting deeper than
// MaxDepth is refused (the trees built from the records are walked recursively). A damaged
// file is refused whole with one reason, so nothing half-read reaches the scene.
#pragma once

#include "Render/CPVertex.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CPFileReader;

namespace MeshFile {

constexpr int NameFieldSize = 260;
constexpr int PlacementSize = 28;
constexpr int ShapeRecordSize = 52;
constexpr int BoxRecordSize = 96;
constexpr int MaxDepth = 64;

enum class Kind { Static, Physics, Animated };

// The 52-byte record shared by the body block, the bounds block and the shape records
// (which fields count depends on the use).
struct Shape {
    int32_t Kind = 0;  // shape records: 0 box, 1 cylinder, other values skipped
    float SizeX = 0.0f;
    float Height = 0.0f;  // size along z
    float SizeY = 0.0f;
    D3DXVECTOR3 Position;  // of the base
    D3DXQUATERNION Rotation;
    float Diameter = 0.0f;
    float Mass = 0.0f;  // the bounds block's switch
};

struct Box {
    D3DXVECTOR3 Centre;
    D3DXVECTOR3 HalfExtents;
};

struct Node {
    std::string Name;  // lower-cased
    // Placement as stored (physics and animated records); the node turns by the conjugate.
    D3DXVECTOR3 Position;
    D3DXQUATERNION Rotation;
    Shape Body;    // physics and animated records
    Shape Bounds;  // animated records
    std::vector<CPVertex> Vertices;  // diffuse colours as stored
    std::vector<uint16_t> Indices;
    std::vector<Box> Boxes;     // static records
    std::vector<Shape> Shapes;  // physics and animated records, every kind as stored
    // Animated records: the number of the node's key-frame block in reading order (0 first),
    // what the key-frame reader was handed; -1 otherwise.
    int32_t KeyFrames = -1;
    std::vector<Node> Children;
};

struct NamedTransform {
    std::string Name;  // lower-cased
    D3DXMATRIX Matrix;
};

struct File {
    int32_t Head = 0;
    int32_t NodeCount = 0;  // as stored
    std::vector<Node> Nodes;
    bool HasTail = false;
    std::vector<NamedTransform> Tail;
};

// Consumes one key-frame block at the reader's cursor for the named node; false refuses the
// file. The default skips the block with KeyFrameBlock's checks.
using KeyFrameReader = std::function<bool(CPFileReader& reader, const std::string& nodeName)>;

// The kind a mesh file's name asks for: physics when its last three characters, lower-cased,
// are "p3d".
Kind KindOfName(const std::string& name);

// Reads the whole file from the reader's cursor. False with `problem` set (and `out` emptied)
// when the file is damaged; the cursor then stands where reading stopped.
bool Read(CPFileReader& reader, Kind kind, File& out, std::string& problem,
          const KeyFrameReader& keyFrames = KeyFrameReader());

// The bytes of a file of the kind holding the records (the inverse of Read, for the tools
// that make content and for tests). Animated files take one record, whose key-frame blocks
// come from keyFrames in reading order (each the bytes of a whole block); Head and NodeCount
// are written as given. The tail is written when HasTail is set.
std::vector<uint8_t> Write(const File& file, Kind kind, const std::vector<std::vector<uint8_t>>& keyFrames = {});

}  // namespace MeshFile

// The text description that meshbuild turns into a mesh file, so a person can make content
// without an exporter. One statement a line, words separated by blanks, "#" starts a comment:
//
//   mesh static | physics | animated      the file's kind (first statement)
//   node <name> ... end                   a node record; nodes nest, at most 64 below the top
//                                         (an animated file has one top node)
//   position x y z                        placement (physics, animated)
//   rotation x y z w                      stored placement quaternion (the node turns by its
//                                         conjugate)
//   body sx height sy mass                body block (physics, animated)
//   bounds sx height sy x y z switch      bounds block (animated; used when switch > 0)
//   box cx cy cz hx hy hz                 collision box (static)
//   shape box|cylinder|<int> sx height sy x y z diameter mass [qx qy qz qw]
//                                         shape record (physics, animated)
//   vertex x y z [nx ny nz [u v]]         a vertex (normal 0 0 1, coordinates 0 0 by default)
//   triangle a b c                        indices into the node's vertices
//   cube sx sy sz [x y z]                 a textured box of those sizes centred at (x, y, z):
//                                         24 vertices, 12 triangles
//   frames rate count dz                  animated: `count` key frames of the node's
//                                         geometry, frame k moved k·dz along z; rate in
//                                         units of 1/2400 s (positive), count a whole
//                                         number of 1 or more
//   transform name m11 m21 m31 m41 m12 ... m43
//                                         an entry of the named-transform tail (static and
//                                         physics), the 12 floats as stored
//
// Numbers are read in the C locale; a statement with a wrong word count or a number that does
// not parse is an error naming its line.
#pragma once

#include "Render/MeshFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace MeshText {

struct Result {
    MeshFile::Kind Kind = MeshFile::Kind::Static;
    MeshFile::File File;
    std::vector<std::vector<uint8_t>> KeyFrames;  // blocks of the animated nodes, in order
};

// False with `error` ("line 4: ...") when the text is not a valid description.
bool Parse(const std::string& text, Result& out, std::string& error);

// The bytes of the mesh file the description gives.
std::vector<uint8_t> Build(const Result& description);

}  // namespace MeshText

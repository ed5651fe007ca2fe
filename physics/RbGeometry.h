// One collision shape of a body, in body space: its shape parameters, its local transform
// and material, and the bounds that refitting and the broad phase read. This system makes
// boxes and cylinders; bounds are defined for every shape type the library knows.
#pragma once

#include "physics/RbMath.h"

#include <cstdint>

enum RbShapeType : int32_t {
    RbShapeBox = 3,
    RbShapeSphere = 4,
    RbShapeCylinder = 5,  // axis along local Y
    RbShapePointSetWithMargin = 7,
    RbShapePointSet = 8,
};

class RbGeometry {
public:
    // The defaults of a new geometry: unit box (sizes 1, 1, 1), identity transform, material 0.
    void Reset();

    // Full sizes; type := box, half sizes := sizes · 0.5, bounding radius := |half sizes|.
    void SetBoxSize(float x, float y, float z);
    void SetBoxSize(const RbVector& size) { SetBoxSize(size.x, size.y, size.z); }
    // Type := cylinder with its axis along local Y.
    void SetCylinder(float diameter, float height);
    // The sixteen floats as given; rows 0..2 rotation, row 3 translation.
    void SetTransform(const RbMatrix4& matrix) { Transform = matrix; }
    void SetMaterialIndex(int32_t index) { MaterialIndex = index; }

    // Widens nothing: writes the body-space corners of the shape under its transform into
    // lower and upper. Unknown types leave both unchanged.
    void GetBounds(RbVector* lower, RbVector* upper) const;
    // Distance from the body origin to the farthest point of the shape (bounded from above).
    float GetBoundingRadius() const;

    // Box: half sizes x, y, z. Sphere: radius. Cylinder: radius, radius², half height.
    float Shape[3] = {0.5f, 0.5f, 0.5f};
    RbMatrix4 Transform;
    float BoundingRadius = 0.0f;
    float Margin = 0.0f;
    int32_t Type = RbShapeBox;
    int32_t MaterialIndex = 0;
    // Point sets (types 7 and 8): points in shape space, not owned. Unused by boxes and cylinders.
    const RbVector* Points = nullptr;
    int32_t PointCount = 0;
    // Per-geometry mass properties, kept at their defaults for the step.
    uintptr_t UserWord = 0;
    RbVector Inertia;
    float Mass = 1.0f;
    float MassParameters[4] = {0.0f, 0.5f, 0.0f, 0.0f};
    // Next geometry of the owning body; null at the end.
    RbGeometry* Next = nullptr;
};

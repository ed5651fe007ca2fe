// Body lists, activation, geometry and sensor lists, and bounding-box refitting.
#include "physics/RbBody.h"

#include "physics/RbBroadPhase.h"
#include "physics/RbRigidBody.h"
#include "physics/RbSensor.h"
#include "physics/RbSimulator.h"

#include <cmath>

void RbBodyList::Append(RbBody* body) {
    body->ListPrev = Tail;
    body->ListNext = nullptr;
    if (Tail != nullptr) {
        Tail->ListNext = body;
    } else {
        Head = body;
    }
    Tail = body;
    ++Count;
}

void RbBodyList::Remove(RbBody* body) {
    if (body->ListPrev != nullptr) {
        body->ListPrev->ListNext = body->ListNext;
    } else {
        Head = body->ListNext;
    }
    if (body->ListNext != nullptr) {
        body->ListNext->ListPrev = body->ListPrev;
    } else {
        Tail = body->ListPrev;
    }
    body->ListNext = nullptr;
    body->ListPrev = nullptr;
    --Count;
}

void RbBody::SetActive(bool active, int32_t hint) {
    if (active == IsActive()) {
        return;
    }
    Simulator->ListOf(*this, !active).Remove(this);
    Simulator->ListOf(*this, active).Append(this);
    RbBroadPhase& broadPhase = Simulator->GetBroadPhase();
    if (active) {
        if (GeometryCount > 0) {
            broadPhase.Add(this, hint);
        }
        Active = 1;
    } else {
        if (BroadPhaseRecord != nullptr) {
            broadPhase.Remove(this);
        }
        Active = 0;
    }
}

RbGeometry* RbBody::AddGeometry() {
    RbGeometry* geometry = Simulator->TakeGeometry();
    if (geometry == nullptr) {
        return nullptr;
    }
    geometry->Reset();
    RbGeometry** link = &Geometries;
    while (*link != nullptr) {
        link = &(*link)->Next;
    }
    *link = geometry;
    ++GeometryCount;
    if (IsActive() && BroadPhaseRecord == nullptr) {
        Simulator->GetBroadPhase().Add(this, 0);
    }
    return geometry;
}

RbSensor* RbBody::AddSensor() {
    RbSensor* sensor = Simulator->TakeSensor();
    if (sensor == nullptr) {
        return nullptr;
    }
    sensor->Next = nullptr;
    RbSensor** link = &Sensors;
    while (*link != nullptr) {
        link = &(*link)->Next;
    }
    *link = sensor;
    return sensor;
}

void RbBody::UpdateBoundingInfo() {
    LargestRadius = 0.0f;
    for (const RbGeometry* g = Geometries; g != nullptr; g = g->Next) {
        LargestRadius = std::fmax(LargestRadius, g->GetBoundingRadius());
    }

    RbVector lower = RbVec(1e6f, 1e6f, 1e6f);
    RbVector upper = RbVec(-1e6f, -1e6f, -1e6f);
    if (GeometryCount == 1 && Geometries->Type == RbShapeBox) {
        // One box: the record is that box itself.
        BoundingBox.Shape[0] = Geometries->Shape[0];
        BoundingBox.Shape[1] = Geometries->Shape[1];
        BoundingBox.Shape[2] = Geometries->Shape[2];
        BoundingBox.Transform = Geometries->Transform;
        BoundingBox.BoundingRadius = Geometries->BoundingRadius;
        BoundingBox.Margin = Geometries->Margin;
        BoundingBox.Type = Geometries->Type;
    } else {
        for (const RbGeometry* g = Geometries; g != nullptr; g = g->Next) {
            RbVector geometryLower = lower;
            RbVector geometryUpper = upper;
            g->GetBounds(&geometryLower, &geometryUpper);
            lower = RbMin(lower, geometryLower);
            upper = RbMax(upper, geometryUpper);
        }
        const RbVector half = RbScale(RbSub(upper, lower), 0.5f);
        const RbVector centre = RbAdd(lower, half);
        BoundingBox.Transform = RbMatrix4{};
        BoundingBox.Shape[0] = half.x;
        BoundingBox.Shape[1] = half.y;
        BoundingBox.Shape[2] = half.z;
        BoundingBox.Transform.M[3][0] = centre.x;
        BoundingBox.Transform.M[3][1] = centre.y;
        BoundingBox.Transform.M[3][2] = centre.z;
    }

    // Widen by the sensor lines in the record's own frame, so the record keeps its rotation
    // (a single box's) and still holds the geometry: widening along body axes and keeping
    // the rotation would cut the ends off a rotated box. For an unrotated record this is the
    // plain body-space widening.
    float(*m)[4] = BoundingBox.Transform.M;
    RbMatrix3 rotation;
    for (int i = 0; i < 3; ++i) {
        rotation.Rows[i] = RbVec(m[i][0], m[i][1], m[i][2]);
    }
    RbVector origin = BoundingBox.Transform.Translation();
    RbMatrix3 toRecord;
    if (RbInverse(rotation, 1e-12f, &toRecord)) {
        lower = RbVec(-BoundingBox.Shape[0], -BoundingBox.Shape[1], -BoundingBox.Shape[2]);
        upper = RbVec(BoundingBox.Shape[0], BoundingBox.Shape[1], BoundingBox.Shape[2]);
    } else {
        // A degenerate rotation cannot carry a box: fall back to body axes.
        BoundingBox.GetBounds(&lower, &upper);
        rotation = toRecord = RbMatrix3::Identity();
        origin = RbVector{};
    }
    for (const RbSensor* s = Sensors; s != nullptr; s = s->Next) {
        for (const RbVector& p : {s->Start, RbAdd(s->Start, s->Vector)}) {
            const RbVector local = RbTransform(RbSub(p, origin), toRecord);
            lower = RbMin(lower, local);
            upper = RbMax(upper, local);
        }
    }
    const RbVector half = RbScale(RbSub(upper, lower), 0.5f);
    const RbVector centre = RbAdd(origin, RbTransform(RbAdd(lower, half), rotation));
    for (int i = 0; i < 3; ++i) {
        m[i][0] = rotation.Rows[i].x;
        m[i][1] = rotation.Rows[i].y;
        m[i][2] = rotation.Rows[i].z;
    }
    BoundingBox.Shape[0] = half.x;
    BoundingBox.Shape[1] = half.y;
    BoundingBox.Shape[2] = half.z;
    m[3][0] = centre.x;
    m[3][1] = centre.y;
    m[3][2] = centre.z;

    for (int i = 0; i < 3; ++i) {
        ObbAxes[i] = RbScale(rotation.Rows[i], BoundingBox.Shape[i]);
    }
    ObbCentre = RbVec(centre.x, centre.y, centre.z);
}

RbVector RbBody::GetVelocityAtPoint(const RbVector& relativePoint) const {
    if (Kind != KindRigid) {
        return RbVector{};
    }
    const RbRigidBody& body = static_cast<const RbRigidBody&>(*this);
    return RbAdd(body.Velocity, RbCross(body.AngularVelocity, relativePoint));
}

void RbBody::UpdateWorldBounds(const RbMatrix3& rotation, const RbVector& position) {
    if (GeometryCount == 0) {
        return;
    }
    RbVector axes[3];
    for (int i = 0; i < 3; ++i) {
        axes[i] = RbTransform(ObbAxes[i], rotation);
    }
    const RbVector centre = RbAdd(RbTransform(ObbCentre, rotation), position);
    float lower[3];
    float upper[3];
    for (int k = 0; k < 3; ++k) {
        const float extent = std::fabs(RbComponent(axes[0], k)) + std::fabs(RbComponent(axes[1], k)) +
                             std::fabs(RbComponent(axes[2], k));
        lower[k] = RbComponent(centre, k) - extent;
        upper[k] = RbComponent(centre, k) + extent;
        if (LowerEndpoints[k] != nullptr) {
            LowerEndpoints[k]->Value = lower[k];
        }
        if (UpperEndpoints[k] != nullptr) {
            UpperEndpoints[k]->Value = upper[k];
        }
    }
    WorldLower = RbVec(lower[0], lower[1], lower[2]);
    WorldUpper = RbVec(upper[0], upper[1], upper[2]);
}

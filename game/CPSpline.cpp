#include "game/CPSpline.h"

#include "Render/CPMaterialManager.h"
#include "Render/CPRenderObject.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "game/CPPhysicWorld.h"
#include "game/LevelFile.h"

#include <algorithm>
#include <cmath>

namespace {

double Bezier(double p0, double p1, double p2, double p3, double t) {
    const double u = 1.0 - t;
    return u * u * u * p0 + 3.0 * t * u * u * p1 + 3.0 * t * t * u * p2 + t * t * t * p3;
}

}  // namespace

void CPSplineSegment::GetPoint(float t, D3DXVECTOR3& out) const {
    const float u = 1.0f - t;
    const float a = u * u * u;
    const float b = 3.0f * t * u * u;
    const float c = 3.0f * t * t * u;
    const float d = t * t * t;
    out.x = a * P0.x + b * P1.x + c * P2.x + d * P3.x;
    out.y = a * P0.y + b * P1.y + c * P2.y + d * P3.y;
    out.z = a * P0.z + b * P1.z + c * P2.z + d * P3.z;
}

void CPSplineSegment::GetPointAndTangent(float s, D3DXVECTOR3& point, D3DXVECTOR3& delta) const {
    // The expanded Bernstein basis: (1 − 3t + 3t² − t³), (3t − 6t² + 3t³), (3t² − 3t³), t³.
    auto at = [this](float t) {
        const float t2 = t * t;
        const float t3 = t2 * t;
        const float a = 1.0f - 3.0f * t + 3.0f * t2 - t3;
        const float b = 3.0f * t - 6.0f * t2 + 3.0f * t3;
        const float c = 3.0f * t2 - 3.0f * t3;
        return D3DXVECTOR3(a * P0.x + b * P1.x + c * P2.x + t3 * P3.x, a * P0.y + b * P1.y + c * P2.y + t3 * P3.y,
                           a * P0.z + b * P1.z + c * P2.z + t3 * P3.z);
    };
    const float t = s / Length;
    point = at(t);
    delta = at(t + 0.1f) - point;
}

float CPSplineSegment::MeasureLength() const {
    double length = 0.0;
    double px = P0.x, py = P0.y, pz = P0.z;
    for (int i = 1; i <= ArcSamples; ++i) {
        const double t = static_cast<double>(i) / ArcSamples;
        const double x = Bezier(P0.x, P1.x, P2.x, P3.x, t);
        const double y = Bezier(P0.y, P1.y, P2.y, P3.y, t);
        const double z = Bezier(P0.z, P1.z, P2.z, P3.z, t);
        length += std::sqrt((x - px) * (x - px) + (y - py) * (y - py) + (z - pz) * (z - pz));
        px = x;
        py = y;
        pz = z;
    }
    return static_cast<float>(length);
}

namespace {
uint64_t NextSplineSerial = 1;
}

CPSpline::CPSpline() : CPGameObject("CPSpline"), Serial(NextSplineSerial++) {}

CPSpline::~CPSpline() {
    // The base lets go of RenderObject after the mesh is gone.
    RenderObject = nullptr;
}

bool CPSpline::GetPointAt(float s, D3DXVECTOR3& point, D3DXVECTOR3& delta) const {
    if (Segments.empty() || !(s <= TotalLength || Closed)) {
        return false;
    }
    s = std::max(s, 0.0f);
    if (s > TotalLength) {
        // Reduced into (0, TotalLength], as repeated subtraction would.
        s = std::fmod(s, TotalLength);
        if (s == 0.0f) {
            s = TotalLength;
        }
    }
    for (size_t i = 0; i < Segments.size(); ++i) {
        const CPSplineSegment& segment = Segments[i];
        if (s <= segment.Length || i + 1 == Segments.size()) {
            segment.GetPointAndTangent(std::min(s, segment.Length), point, delta);
            return true;
        }
        s -= segment.Length;
    }
    return false;
}

bool CPSpline::Build(const LevelPathRecord& path) {
    Segments.clear();
    Lines.clear();
    FirstLine = nullptr;
    CurrentLine = nullptr;
    TotalLength = 0.0f;
    RenderObject = nullptr;
    mesh.reset();
    Name = path.Name;
    Closed = path.Closed;

    for (const LevelSegmentRecord& stored : path.Segments) {
        CPSplineSegment segment{stored.Start, stored.Control1, stored.Control2, stored.End, 0.0f};
        segment.Length = segment.MeasureLength();
        if (!std::isfinite(segment.Length)) {
            Segments.clear();
            return false;
        }
        if (segment.Length < MinSegmentLength) {
            continue;
        }
        Segments.push_back(segment);
        TotalLength += segment.Length;
    }
    // Pieces start every LineLength while below TotalLength.
    if (Segments.empty() || !std::isfinite(TotalLength) ||
        std::ceil(static_cast<double>(TotalLength) / LineLength) > static_cast<double>(MaxLines)) {
        Segments.clear();
        TotalLength = 0.0f;
        return false;
    }

    auto display = std::make_unique<CPRenderObject>(this);
    D3DXVECTOR3 previous = Segments.front().P0;
    D3DXVECTOR3 delta;
    for (size_t i = 0;; ++i) {
        const float s = static_cast<float>(i) * LineLength;
        D3DXVECTOR3 start = previous;
        if (GetPointAt(s, start, delta)) {
            previous = start;
        }
        D3DXVECTOR3 end = previous;
        if (GetPointAt(s + LineLength, end, delta)) {
            previous = end;
        }
        // An open path's end gives a piece of no ground length: it is not made.
        if (start.x != end.x || start.y != end.y) {
            auto line = std::make_unique<CPLine>();
            line->Start = start;
            line->End = end;
            D3DXVECTOR2 direction(end.x - start.x, end.y - start.y);
            D3DXVec2Normalize(&direction, &direction);
            line->Normal = D3DXVECTOR2(direction.y, -direction.x);
            line->Offset = direction.x * start.y - direction.y * start.x;
            const float angle = std::acos(std::clamp(direction.x, -1.0f, 1.0f));
            line->Heading = (direction.y > 0.0f ? angle : -angle) + D3DX_PI;
            line->Min = D3DXVECTOR2(std::min(start.x, end.x), std::min(start.y, end.y));
            line->Max = D3DXVECTOR2(std::max(start.x, end.x), std::max(start.y, end.y));
            line->Centre = D3DXVECTOR3((line->Min.x + line->Max.x) * 0.5f, (line->Min.y + line->Max.y) * 0.5f, 0.0f);

            const auto first = static_cast<uint16_t>(display->Vertices.size());
            for (const D3DXVECTOR3& p : {start, end, end}) {
                CPVertex vertex;
                vertex.Position = p;
                vertex.Diffuse = 0xFFFFFFFFu;
                display->Vertices.push_back(vertex);
            }
            for (uint16_t k = 0; k < 3; ++k) {
                display->Indices.push_back(static_cast<uint16_t>(first + k));
            }
            Lines.push_back(std::move(line));
        }
        if (static_cast<float>(i + 1) * LineLength >= TotalLength) {
            break;
        }
    }
    if (Lines.empty()) {
        Segments.clear();
        TotalLength = 0.0f;
        return false;
    }

    for (size_t i = 0; i + 1 < Lines.size(); ++i) {
        Lines[i]->Next = Lines[i + 1].get();
        Lines[i + 1]->Prev = Lines[i].get();
    }
    FirstLine = Lines.front().get();
    FirstLine->Prev = Lines.back().get();
    Lines.back()->Next = FirstLine;
    CurrentLine = FirstLine;

    if (CPMaterialManager::Instance != nullptr) {
        display->SetMaterial(CPMaterialManager::Instance->GetMaterial("test.fx", {"error.tga"}, 0));
    }
    mesh = std::move(display);
    RenderKind = RenderMesh;
    RenderObject = mesh.get();
    return true;
}

bool CPSpline::Load(CPFileReader& reader) {
    const size_t start = static_cast<size_t>(reader.GetCursor());
    size_t offset = start;
    LevelPathRecord path;
    std::string problem;
    const bool read = LevelFile::ReadPath(reader.GetData(), static_cast<size_t>(reader.GetLength()), offset, path,
                                          problem);
    if (!read) {
        offset = static_cast<size_t>(reader.GetLength());
    }
    std::vector<uint8_t> skipped(offset - start);
    reader.Read(skipped.data(), static_cast<int>(skipped.size()));
    if (!read) {
        CPLog::GetInstance().Write(0, "Path in %s refused: %s\n", reader.GetFileName().c_str(), problem.c_str());
        return false;
    }
    if (!Build(path)) {
        CPLog::GetInstance().Write(0, "Path \"%s\" in %s refused: it fills no piece or is too long\n",
                                   path.Name.c_str(), reader.GetFileName().c_str());
        return false;
    }
    return true;
}

void CPSpline::SnapToTerrain() {
    if (const CPPhysicWorld* world = CPPhysicWorld::Instance; world != nullptr) {
        SnapToTerrain([world](const D3DXVECTOR3& p) { return world->GetHeight(p); });
    }
}

void CPSpline::SnapToTerrain(const HeightFunction& height) {
    if (!height) {
        return;
    }
    for (const std::unique_ptr<CPLine>& line : Lines) {
        line->Centre.z = height(D3DXVECTOR3(line->Centre.x, line->Centre.y, 0.0f));
        line->Start.z = height(D3DXVECTOR3(line->Start.x, line->Start.y, 0.0f));
        line->End.z = height(D3DXVECTOR3(line->End.x, line->End.y, 0.0f));
    }
}

// The lightning shot's flight: a straight line at a fixed speed, tested each frame against the
// cars over the distance it covers, drawn as one quad from its launch point to its head.
#include "game/CPLightningShot.h"

#include "Render/CPMaterialManager.h"
#include "Render/CPRenderObject.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "game/CPLevel.h"
#include "game/CPShotManager.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPPickInfo.h"
#include "scene/MainView.h"

#include <cmath>

namespace {

// A quad's vertices: corners 0..3 with texture coordinates (0,0), (1,0), (1,1), (0,1); the
// head corners (1 and 2) carry 1 in the second coordinates.
std::unique_ptr<CPRenderObject> MakeQuad(const std::string& effect, const std::string& texture, int32_t type) {
    auto quad = std::make_unique<CPRenderObject>(nullptr);  // world-space vertices: no owner
    if (CPMaterialManager* materials = GetMaterialManager()) {
        quad->Material = materials->GetMaterial(effect, {texture}, type);
    }
    quad->Indices = {0, 1, 2, 0, 2, 3};
    quad->Vertices.resize(4);
    const float u[4] = {0.0f, 1.0f, 1.0f, 0.0f};
    const float v[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        quad->Vertices[i].U = u[i];
        quad->Vertices[i].V = v[i];
    }
    quad->Vertices[1].U2 = 1.0f;
    quad->Vertices[2].U2 = 1.0f;
    quad->TransformToWorld();
    return quad;
}

}  // namespace

CPLightningShot::CPLightningShot(std::string typeName) : CPShot(std::move(typeName)) {}

int CPLightningShot::Setup(const std::vector<std::string>& p) {
    parameters = p;
    TargetFlag = ParameterWord(p, 0) != "enemy";
    Speed = ParameterNumber(p, 1);
    Duration = ParameterNumber(p, 2);
    Width = ParameterNumber(p, 3);
    TextureName = ParameterWord(p, 4);
    EffectName = ParameterWord(p, 5);
    MaterialType = ParameterInteger(p, 6);
    ImpactName = ParameterWord(p, 7);
    Extra = ParameterNumber(p, 8);
    InstallRenderObject(MakeQuad(EffectName, TextureName, MaterialType));
    return CPShot::Setup(p);
}

CPtr<CPShot> CPLightningShot::Clone() {
    auto* copy = new CPLightningShot(TypeName);
    copy->parameters = parameters;
    copy->Speed = Speed;
    copy->Duration = Duration;
    copy->Width = Width;
    copy->TextureName = TextureName;
    copy->EffectName = EffectName;
    copy->MaterialType = MaterialType;
    copy->ImpactName = ImpactName;
    copy->Extra = Extra;
    copy->TargetFlag = TargetFlag;
    copy->InstallRenderObject(MakeQuad(EffectName, TextureName, MaterialType));
    ShareSound(*copy);
    return CPtr<CPShot>(copy);
}

void CPLightningShot::Launch(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime,
                             CPtr<CPGameObject> owner, int32_t extra) {
    Travelled = 0.0f;
    Elapsed = 0.0f;
    CPShot::Launch(position, direction, lifetime, owner, extra);
    LaunchPoint = position;
    if (lifetime >= 0.0f) {
        Duration = lifetime;
    }
    if (CPRenderObject* quad = Render()) {
        // A reused shot must not show the ribbon of its last flight.
        for (CPVertex& vertex : quad->Vertices) {
            vertex.Position = position;
            vertex.Diffuse = 0xFFFFFFFF;
        }
        quad->TransformToWorld();
    }
}

bool CPLightningShot::Step() {
    CPtr<CPGameObject> hitOwner;
    return Update(hitOwner) >= 1;
}

int CPLightningShot::Update(CPtr<CPGameObject>& hitOwner) {
    const float dt = FrameTime;
    const float step = dt * Speed;
    Travelled += step;
    Elapsed += dt;
    if (!(Travelled <= MaxTravel) || (Duration > 0.0f && Elapsed > Duration)) {
        return -1;
    }

    CPLevel* level = GetCurrentLevel();
    if (level != nullptr && step > 0.0f && Direction != D3DXVECTOR3(0.0f, 0.0f, 0.0f)) {
        CPPickInfo pick;
        pick.Exclude = LiveOwner();
        pick.Origin = Position;
        pick.Direction = Direction;
        pick.Distance = step;
        if (level->CrossObjectRay(pick)) {
            hitOwner = pick.Owner;
            // The ray query leaves the point to us: Direction is unit, so Distance is in units.
            const D3DXVECTOR3 hit = pick.Origin + pick.Direction * pick.Distance;
            if (ImpactName != "none" && !ImpactName.empty()) {
                if (CPShotManager* shots = GetShotManager()) {
                    shots->LaunchShot(ImpactName, hit, Direction, -1.0f, CPtr<CPGameObject>(this), 0);
                }
            }
            return 0;
        }
    }

    SetPosition(Position + Direction * step);
    BuildRibbon();
    TransformUpdated = false;
    return 1;
}

void CPLightningShot::BuildRibbon() {
    CPRenderObject* quad = Render();
    if (quad == nullptr || quad->Vertices.size() != 4 || MainView == nullptr) {
        return;
    }
    const D3DXVECTOR3& l = LaunchPoint;
    const D3DXVECTOR3& h = Position;
    const D3DXVECTOR3 line = h - l;
    const D3DXVECTOR3 sight = MainView->Position - l;
    D3DXVECTOR3 across;
    D3DXVec3Cross(&across, &line, &sight);
    const float length = D3DXVec3Length(&across);
    // Eye on the line (or a line of no length): no side to turn the ribbon to.
    if (!(length > 1e-6f) || !std::isfinite(length)) {
        return;
    }
    const D3DXVECTOR3 side = across * (Width / length);
    quad->Vertices[0].Position = l + side;
    quad->Vertices[1].Position = h + side;
    quad->Vertices[2].Position = h - side;
    quad->Vertices[3].Position = l - side;
    quad->TransformToWorld();
}

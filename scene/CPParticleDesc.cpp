#include "scene/CPParticleDesc.h"

#include <utility>

CPParticleDesc::~CPParticleDesc() {
    std::unique_ptr<CPParticleDesc> rest = std::move(Next);
    while (rest != nullptr) {
        rest = std::move(rest->Next);
    }
}

namespace {

void CopyFields(CPParticleDesc& to, const CPParticleDesc& from) {
    to.Name = from.Name;
    to.Position = from.Position;
    to.Velocity = from.Velocity;
    to.Acceleration = from.Acceleration;
    to.Param1 = from.Param1;
    to.Param2 = from.Param2;
    to.Param3 = from.Param3;
    to.Flag1 = from.Flag1;
    to.Flag2 = from.Flag2;
}

}  // namespace

// The copy is built whole before the destination lets go of its old chain, so a source that
// lies inside that chain is read before it is freed.
void CPParticleDesc::CopyChain(CPParticleDesc& destination, const CPParticleDesc& source) {
    if (&destination == &source) {
        return;
    }
    CPParticleDesc first;
    CopyFields(first, source);
    std::unique_ptr<CPParticleDesc> rest;
    std::unique_ptr<CPParticleDesc>* link = &rest;
    for (const CPParticleDesc* from = source.Next.get(); from != nullptr; from = from->Next.get()) {
        *link = std::make_unique<CPParticleDesc>();
        CopyFields(**link, *from);
        link = &(*link)->Next;
    }
    CopyFields(destination, first);
    destination.Next = std::move(rest);
}

#include "platform/d3d9/D3D9Faults.h"

#include <array>

namespace {

struct Armed {
    HRESULT result = S_OK;
    unsigned skip = 0;
    unsigned times = 0;
};

std::array<Armed, static_cast<size_t>(D3D9Fault::Count)> armed;

}  // namespace

namespace D3D9Faults {

void Fail(D3D9Fault kind, HRESULT result, unsigned skip, unsigned times) {
    armed[static_cast<size_t>(kind)] = Armed{result, skip, times};
}

void Reset() { armed.fill(Armed{}); }

HRESULT Take(D3D9Fault kind) {
    Armed& a = armed[static_cast<size_t>(kind)];
    if (a.times == 0) {
        return S_OK;
    }
    if (a.skip > 0) {
        --a.skip;
        return S_OK;
    }
    --a.times;
    return a.result;
}

}  // namespace D3D9Faults

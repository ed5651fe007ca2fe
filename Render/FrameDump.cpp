#include "Render/FrameDump.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

const char* RenderStateName(uint64_t state) {
    switch (state) {
    case D3DRS_ZENABLE: return "ZENABLE";
    case D3DRS_ZWRITEENABLE: return "ZWRITEENABLE";
    case D3DRS_ALPHATESTENABLE: return "ALPHATESTENABLE";
    case D3DRS_SRCBLEND: return "SRCBLEND";
    case D3DRS_DESTBLEND: return "DESTBLEND";
    case D3DRS_CULLMODE: return "CULLMODE";
    case D3DRS_ZFUNC: return "ZFUNC";
    case D3DRS_ALPHAREF: return "ALPHAREF";
    case D3DRS_ALPHAFUNC: return "ALPHAFUNC";
    case D3DRS_ALPHABLENDENABLE: return "ALPHABLENDENABLE";
    case D3DRS_FOGENABLE: return "FOGENABLE";
    case D3DRS_SPECULARENABLE: return "SPECULARENABLE";
    case D3DRS_FOGCOLOR: return "FOGCOLOR";
    case D3DRS_LIGHTING: return "LIGHTING";
    case D3DRS_AMBIENT: return "AMBIENT";
    case D3DRS_COLORVERTEX: return "COLORVERTEX";
    default: return nullptr;
    }
}

const char* TransformName(uint64_t state) {
    switch (state) {
    case D3DTS_VIEW: return "VIEW";
    case D3DTS_PROJECTION: return "PROJECTION";
    case D3DTS_WORLD: return "WORLD";
    default: return nullptr;
    }
}

const char* PrimitiveName(uint64_t type) {
    switch (type) {
    case D3DPT_POINTLIST: return "POINTLIST";
    case D3DPT_LINELIST: return "LINELIST";
    case D3DPT_LINESTRIP: return "LINESTRIP";
    case D3DPT_TRIANGLELIST: return "TRIANGLELIST";
    case D3DPT_TRIANGLESTRIP: return "TRIANGLESTRIP";
    case D3DPT_TRIANGLEFAN: return "TRIANGLEFAN";
    default: return "?";
    }
}

const char* LightName(uint32_t type) {
    switch (type) {
    case D3DLIGHT_POINT: return "POINT";
    case D3DLIGHT_SPOT: return "SPOT";
    case D3DLIGHT_DIRECTIONAL: return "DIRECTIONAL";
    default: return "?";
    }
}

// Short names of objects by order of first appearance, one series per prefix.
class Names {
public:
    std::string Of(const char* prefix, uint64_t address) {
        if (address == 0) {
            return "null";
        }
        auto& series = known[prefix];
        auto [entry, fresh] = series.try_emplace(address, series.size() + 1);
        return prefix + std::to_string(entry->second);
    }

private:
    std::map<std::string, std::map<uint64_t, size_t>> known;
};

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof(text), format, values...);
    return text;
}

std::string CallLine(const D3D9Call& call, Names& names) {
    const std::vector<uint64_t>& a = call.args;
    const std::string& n = call.name;
    if (n == "SetRenderState" && a.size() == 2) {
        const char* state = RenderStateName(a[0]);
        return state != nullptr ? Format("SetRenderState %s %llu", state, static_cast<unsigned long long>(a[1]))
                                : call.Text();
    }
    if (n == "SetTransform" && a.size() == 1) {
        const char* state = TransformName(a[0]);
        return state != nullptr ? std::string("SetTransform ") + state : call.Text();
    }
    if (n == "SetStreamSource" && a.size() == 4) {
        return Format("SetStreamSource %llu %s stride %llu", static_cast<unsigned long long>(a[0]),
                      names.Of("vb", a[1]).c_str(), static_cast<unsigned long long>(a[3]));
    }
    if (n == "SetIndices" && a.size() == 1) {
        return "SetIndices " + names.Of("ib", a[0]);
    }
    if (n == "SetTexture" && a.size() == 2) {
        return Format("SetTexture %llu %s", static_cast<unsigned long long>(a[0]), names.Of("tex", a[1]).c_str());
    }
    if (n == "DrawIndexedPrimitive" && a.size() == 6) {
        return Format("DrawIndexedPrimitive %s base %lld min %llu vertices %llu start %llu primitives %llu",
                      PrimitiveName(a[0]), static_cast<long long>(a[1]), static_cast<unsigned long long>(a[2]),
                      static_cast<unsigned long long>(a[3]), static_cast<unsigned long long>(a[4]),
                      static_cast<unsigned long long>(a[5]));
    }
    if (n == "DrawPrimitiveUP" && a.size() == 3) {
        return Format("DrawPrimitiveUP %s primitives %llu stride %llu", PrimitiveName(a[0]),
                      static_cast<unsigned long long>(a[1]), static_cast<unsigned long long>(a[2]));
    }
    if (n == "DrawIndexedPrimitiveUP" && a.size() == 6) {
        return Format("DrawIndexedPrimitiveUP %s vertices %llu primitives %llu stride %llu", PrimitiveName(a[0]),
                      static_cast<unsigned long long>(a[2]), static_cast<unsigned long long>(a[3]),
                      static_cast<unsigned long long>(a[5]));
    }
    if (n == "SetLight" && a.size() == 1 && call.data.size() >= sizeof(uint32_t)) {
        uint32_t type = 0;
        std::memcpy(&type, call.data.data(), sizeof(type));
        return Format("SetLight %llu %s", static_cast<unsigned long long>(a[0]), LightName(type));
    }
    if (n == "Clear" && a.size() == 6) {
        return Format("Clear flags %llu colour 0x%08llX", static_cast<unsigned long long>(a[2]),
                      static_cast<unsigned long long>(a[3]));
    }
    if (n == "SetFVF" && a.size() == 1) {
        return Format("SetFVF 0x%llX", static_cast<unsigned long long>(a[0]));
    }
    if (n == "Present") {
        return "Present";
    }
    return call.Text();
}

}  // namespace

FrameDump::FrameDump(IDirect3DDevice9* target) : device(dynamic_cast<D3D9RecordingDevice*>(target)) {
    if (device != nullptr) {
        first = device->Calls().size();
    }
}

void FrameDump::Mark(const std::string& text) {
    marks.emplace_back(device != nullptr ? device->Calls().size() : 0, text);
}

std::string FrameDump::Text() const {
    std::string out;
    Names names;
    const std::vector<D3D9Call> none;
    const std::vector<D3D9Call>& calls = device != nullptr ? device->Calls() : none;
    size_t mark = 0;
    auto marksUpTo = [&](size_t index) {
        while (mark < marks.size() && marks[mark].first <= index) {
            out += marks[mark].second;
            out += '\n';
            ++mark;
        }
    };
    for (size_t i = first; i < calls.size(); ++i) {
        marksUpTo(i);
        const D3D9Call& call = calls[i];
        if (call.name == "LightEnable" && call.args.size() == 2) {
            // Join a run of consecutive slots given one value.
            size_t end = i;
            while (end + 1 < calls.size() && (mark >= marks.size() || marks[mark].first > end + 1) &&
                   calls[end + 1].name == "LightEnable" && calls[end + 1].args.size() == 2 &&
                   calls[end + 1].args[1] == call.args[1] && calls[end + 1].args[0] == calls[end].args[0] + 1) {
                ++end;
            }
            if (end > i) {
                out += Format("  LightEnable %llu-%llu %llu\n", static_cast<unsigned long long>(call.args[0]),
                              static_cast<unsigned long long>(calls[end].args[0]),
                              static_cast<unsigned long long>(call.args[1]));
                i = end;
                continue;
            }
        }
        out += "  " + CallLine(call, names) + "\n";
    }
    marksUpTo(calls.size());
    return out;
}

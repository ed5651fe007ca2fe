// Level files: any bytes are parsed or refused with a reason and leave the level as it was; a
// level that is taken has its three paths as closed rings of pieces with sound headings, and
// the nearest-piece search stays on them.
#include "FuzzFiles.h"

#include "game/CPLevel.h"
#include "game/CPSpline.h"
#include "game/LevelFile.h"

#include <cmath>

namespace {

void CheckPath(const CPSpline* spline, bool required) {
    if (spline == nullptr) {
        Fuzz::Check(!required, "a level has its centre path");
        return;
    }
    const size_t n = spline->Lines.size();
    Fuzz::Check(n >= 1 && n <= CPSpline::MaxLines, "a path has between one and MaxLines pieces");
    Fuzz::Check(std::isfinite(spline->TotalLength) && spline->TotalLength > 0.0f, "a path has a length");
    const CPLine* line = spline->FirstLine;
    for (size_t i = 0; i < n; ++i) {
        Fuzz::Check(line->Next->Prev == line, "the ring links both ways");
        Fuzz::Check(line->Heading >= 0.0f && line->Heading <= 6.2831855f, "headings lie in [0, 2pi]");
        Fuzz::Check(line->Start.x != line->End.x || line->Start.y != line->End.y, "no piece is a point");
        line = line->Next;
    }
    Fuzz::Check(line == spline->FirstLine, "the ring closes after every piece");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPLevel level;
    LevelLayout layout;
    std::string problem;
    const bool taken = level.ApplyLevelData(data, size, layout, problem);
    Fuzz::Check(taken || !problem.empty(), "a refused level says why");
    Fuzz::Check(taken || (!level.CentrePath && level.Sources.empty()), "a refused level changes nothing");
    if (taken) {
        CheckPath(level.CentrePath.Get(), true);
        CheckPath(level.LeftPath.Get(), !layout.Cars.empty());
        CheckPath(level.RightPath.Get(), !layout.Cars.empty());
        Fuzz::Check(level.PathLineHint == level.CentrePath->FirstLine, "the search starts at the first piece");
        size_t records = layout.File.Objects.size();
        Fuzz::Check(layout.Objects.size() + layout.Beacons.size() + layout.Cars.size() <= records,
                    "no more placed things than records");
        // A search from a point of the file stays on the ring.
        CPLine* hint = nullptr;
        float radius = 40.0f;
        const D3DXVECTOR3 point = layout.Player.Position;
        level.CentrePath->FindNearestLine(point, radius, 1, hint, -1);
        Fuzz::Check(hint != nullptr, "the search finds a piece");
    }
    // The other modes only leave records out.
    LevelLayout other;
    std::string why;
    if (LevelFile::Parse(data, size, true, true, other, why)) {
        Fuzz::Check(other.Cars.empty(), "time mode places no computer car");
    }
    return 0;
}

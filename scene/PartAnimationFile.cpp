#include "scene/PartAnimationFile.h"

#include "core/CPFileReader.h"
#include "core/StringUtil.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace PartAnimationFile {

namespace {

int64_t BytesLeft(const CPFileReader& reader) {
    return static_cast<int64_t>(reader.GetLength()) - static_cast<int64_t>(reader.GetCursor());
}

bool Refuse(std::vector<PartAnimationTrack>& tracks, std::string& problem, std::string why) {
    tracks.clear();
    problem = std::move(why);
    return false;
}

}  // namespace

D3DXMATRIX KeyMatrix(const float stored[12]) {
    D3DXMATRIX key;
    D3DXMatrixIdentity(&key);
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 4; ++row) {
            key.m[row][column] = stored[column * 4 + row];
        }
    }
    return key;
}

bool IsPlayable(const PartAnimationTrack& track, std::string& why) {
    if (static_cast<int>(track.Keys.size()) < MinimumKeys) {
        why = "fewer than 3 keys";
        return false;
    }
    for (float duration : track.Durations) {
        if (!(duration > 0.0f) || !std::isfinite(duration)) {
            why = "a key duration that is not a positive number";
            return false;
        }
    }
    return true;
}

bool Read(CPFileReader& reader, std::vector<PartAnimationTrack>& tracks, std::string& problem,
          std::vector<std::string>* dropped) {
    tracks.clear();
    problem.clear();
    if (BytesLeft(reader) < 4) {
        return Refuse(tracks, problem, "no track count");
    }
    const int trackCount = reader.ReadInt();
    if (trackCount < 0) {
        return Refuse(tracks, problem, "negative track count");
    }
    // Each track takes at least its two counts; checked before anything is reserved.
    if (static_cast<int64_t>(trackCount) * 8 > BytesLeft(reader)) {
        return Refuse(tracks, problem, "track count larger than the file");
    }
    for (int t = 0; t < trackCount; ++t) {
        PartAnimationTrack track;
        if (BytesLeft(reader) < 4) {
            return Refuse(tracks, problem, "track cut short before its name");
        }
        const int nameLength = reader.ReadInt();
        if (nameLength < 0) {
            return Refuse(tracks, problem, "negative name length");
        }
        if (nameLength > BytesLeft(reader) - 4) {
            return Refuse(tracks, problem, "name longer than the file");
        }
        track.Name.resize(static_cast<size_t>(nameLength));
        reader.Read(track.Name.data(), nameLength);
        if (const size_t zero = track.Name.find('\0'); zero != std::string::npos) {
            track.Name.resize(zero);
        }
        ToLower(track.Name);

        const int keyCount = reader.ReadInt();
        if (keyCount < 0) {
            return Refuse(tracks, problem, "negative key count");
        }
        if (static_cast<int64_t>(keyCount) * KeySize > BytesLeft(reader)) {
            return Refuse(tracks, problem, "key count larger than the file");
        }
        track.Keys.resize(static_cast<size_t>(keyCount));
        track.Durations.resize(static_cast<size_t>(keyCount));
        for (int k = 0; k < keyCount; ++k) {
            track.Durations[static_cast<size_t>(k)] = reader.ReadFloat();
            float stored[12];
            for (float& value : stored) {
                value = reader.ReadFloat();
            }
            track.Keys[static_cast<size_t>(k)] = KeyMatrix(stored);
        }

        std::string why;
        if (!IsPlayable(track, why)) {
            if (dropped != nullptr) {
                dropped->push_back(track.Name + ": " + why);
            }
            continue;
        }
        tracks.push_back(std::move(track));
    }
    return true;
}

}  // namespace PartAnimationFile

#include "DynamicSky/CloudSet.h"

#include "DynamicSky/SkyFiles.h"
#include "DynamicSky/SkyTextLines.h"

void ParseCloudSetFile(const char* text, int length, CloudSetFile& file) {
    SkyTextLines lines(text, length);
    file.Position = lines.NextVector();
    file.Extra1 = lines.NextFloat();
    file.Extra2 = lines.NextInt();
    file.Extra3 = lines.NextVector();
    file.Extra4 = lines.NextFloat();
    const int count = lines.Bounded(lines.NextInt());
    for (int i = 0; i < count && lines.Remaining() > 0; ++i) {
        CloudSetFile::Block& block = file.Blocks.emplace_back();
        block.Name = lines.NextName();
        block.Offset = lines.NextVector();
        block.Scale = lines.NextFloat();
        block.Angle = lines.NextFloat();
        block.Weight = lines.NextFloat();
    }
}

void CloudSet::Load(const std::string& name) {
    std::vector<uint8_t> text;
    if (!ReadSkyFile(name, text)) {
        return;
    }
    CloudSetFile file;
    ParseCloudSetFile(reinterpret_cast<const char*>(text.data()), static_cast<int>(text.size()), file);
    Position = file.Position;
    Extra1 = file.Extra1;
    Extra2 = file.Extra2;
    Extra3 = file.Extra3;
    Extra4 = file.Extra4;
    for (const CloudSetFile::Block& block : file.Blocks) {
        auto description = std::make_unique<CloudDescription>();
        description->Load(block.Name, block.Scale, block.Angle);
        description->WorldPosition = Position + block.Offset;
        description->Offset = block.Offset;
        Members.push_back(description.get());
        Entries.push_back({std::move(description), block.Weight});
    }
}

void CloudSet::SetVisible(bool on, bool instant) {
    Shown = on;
    Hiding = !on;
    for (Entry& entry : Entries) {
        CloudDescription& d = *entry.Description;
        d.FadingIn = on;
        d.FadingOut = !on;
        if (instant) {
            d.Alpha = on ? 255.0f : 0.0f;
            d.InverseAlpha = on ? 0.0f : 255.0f;
        }
        d.Changed = true;
        d.Refresh = true;
    }
}

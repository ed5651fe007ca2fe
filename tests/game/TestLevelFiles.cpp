#include "tests/game/TestLevelFiles.h"

#include "tools/MeshText.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace TestLevelFiles {

namespace {

void WriteBytes(const std::filesystem::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = folder / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// A mesh file from its text description (tools/MeshText.h).
void WriteMesh(const std::filesystem::path& folder, const std::string& file, const std::string& text) {
    MeshText::Result mesh;
    std::string error;
    if (!MeshText::Parse(text, mesh, error)) {
        throw std::runtime_error("test mesh " + file + ": " + error);
    }
    WriteBytes(folder, "Data/Meshes/" + file, MeshText::Build(mesh));
}

// An uncompressed 24-bit TGA of 4 x 4 grey pixels.
std::vector<uint8_t> Texture() {
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
    bytes.insert(bytes.end(), 4 * 4 * 3, 0x80);
    return bytes;
}

// The flat road: cells x cells squares of side `cell` from (origin, origin), at z = 0.
std::string RoadMesh(int cells, float cell, float origin) {
    std::ostringstream text;
    text << "mesh static\nnode road\n";
    for (int j = 0; j <= cells; ++j) {
        for (int i = 0; i <= cells; ++i) {
            text << "  vertex " << origin + cell * static_cast<float>(i) << ' ' << origin + cell * static_cast<float>(j)
                 << " 0\n";
        }
    }
    const int side = cells + 1;
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const int a = j * side + i;
            text << "  triangle " << a << ' ' << a + 1 << ' ' << a + side << '\n';
            text << "  triangle " << a + 1 << ' ' << a + side + 1 << ' ' << a + side << '\n';
        }
    }
    text << "end\n";
    return text.str();
}

// The car body: a physics box of 1.8 x 0.4 x 4 m and 40 kg, wheel meshes at the corners.
std::string CarMesh(const std::vector<std::string>& extraChildren) {
    std::string text =
        "mesh physics\n"
        "node body\n"
        "  rotation 0 0 0 1\n"
        "  body 1.8 0.4 4 40\n"
        "  cube 1.8 4 0.4 0 0 0.2\n"
        "  shape box 1.8 0.4 4 0 0 0 0 40\n";
    const char* wheels[4] = {"-0.8 -1.4 0", "0.8 -1.4 0", "-0.8 1.4 0", "0.8 1.4 0"};
    for (int i = 0; i < 4; ++i) {
        text += "  node w" + std::to_string(i) + "\n    position " + wheels[i] +
                "\n    rotation 0 0 0 1\n    cube 0.3 0.6 0.6\n  end\n";
    }
    for (const std::string& child : extraChildren) {
        text += "  node " + child + "\n    rotation 0 0 0 1\n    cube 0.2 0.2 0.2 0 -2 0.3\n  end\n";
    }
    return text + "end\n";
}

std::string CarDescriptionText() {
    return "<physics><geometry><wheels count=\"4\" x=\"0\" y=\"0\" length=\"0.5\" radius=\"0.3\"/></geometry>"
           "<params><wheels spring1=\"640\" spring2=\"660\" damping=\"150\"/>"
           "<friction front=\"100\" back=\"240\" slide=\"0.9\"/>"
           "<acceleration front=\"100\" back=\"100\" brake=\"100\"/></params></physics>\n"
           "<camera distance=\"8\" height=\"2.5\" angle=\"0.2\" angle_div=\"10\" distance_div=\"12\" blur=\"0.1\" "
           "fov=\"60\" min=\"3\" max=\"9\"/>\n"
           "<camera2 distance=\"10\" height=\"3\" angle=\"0.3\" angle_div=\"8\" distance_div=\"15\" blur=\"0.2\" "
           "fov=\"55\"/>\n"
           "<camera3 distance=\"0.5\" height=\"1.2\" blur=\"0.3\"/>\n"
           "<render><shadow name=\"box.tga\"/></render>\n";
}

// A description of a box mesh with one material section.
std::string BoxObject() { return "mesh = box.msh\n[box]\neffectfile = plain.fx\ntexturefile1 = box.tga\n"; }

}  // namespace

std::vector<LevelBytes::Object> Objects() {
    const float s = std::sqrt(0.5f);
    return {
        {"player", PlayerStart, {0, 0, s, s}},
        {"enemy1", {5, 4, 0}, {0, 0, s, s}},
        {"enemy2", {5, 8, 0}, {0, 0, s, s}},
        {"stolb_start_left", LeftPost},
        {"stolb_start_right", RightPost},
        {"crate1", {40, 20, 1}},
        {"crate2", {80, -20, 1}, {0, 0, 0, 1}, {2, 2, 2}},
        {"arrow_blue", {120, 0, 0}},
        {"checkpoint1,15", {200, 100, 0}},
        {"chk1_flag", {100, 0, 0}},
        {"src_tank1", {150, 150, 0}},
    };
}

std::vector<LevelBytes::Path> Paths() {
    return {LevelBytes::Square("c_path", 210, -5), LevelBytes::Square("left", 200), LevelBytes::Square("right", 220, -10)};
}

void WriteText(const std::filesystem::path& folder, const std::string& name, const std::string& text) {
    WriteBytes(folder, name, std::vector<uint8_t>(text.begin(), text.end()));
}

void WriteLevel(const std::filesystem::path& folder, const std::vector<LevelBytes::Object>& objects,
                const std::vector<LevelBytes::Path>& paths, const std::string& name) {
    WriteBytes(folder, "Data/Levels/" + name + ".lvl", LevelBytes::Level(objects, paths));
}

void WriteCar(const std::filesystem::path& folder, const std::string& file, const std::vector<std::string>& extraChildren) {
    const std::string stem = file.substr(0, file.rfind('.'));
    WriteMesh(folder, stem + ".p3d", CarMesh(extraChildren));
    std::string text = std::string("mesh = ") + stem + ".p3d\ndescription = " + CarDescription + "\n";
    for (const char* node : {"body", "w0", "w1", "w2", "w3"}) {
        text += std::string("[") + node + "]\neffectfile = plain.fx\ntexturefile1 = box.tga\n";
    }
    WriteText(folder, "Data/Meshes/" + file, text);
}

void Write(const std::filesystem::path& folder) {
    WriteText(folder, "Data/Effects/plain.fx", "technique Main { pass P0 { ZEnable = true; } }\n");
    WriteBytes(folder, "Data/Textures/box.tga", Texture());
    WriteText(folder, std::string("Data/Descriptions/") + CarDescription, CarDescriptionText());

    WriteMesh(folder, "box.msh", "mesh static\nnode box\n  cube 2 2 2\n  box 0 0 0 1 1 1\nend\n");
    for (const char* object : {"wrong", "crate", "arrow_blue", "checkpoint", "flag", "land", "level1"}) {
        WriteText(folder, std::string("Data/Meshes/") + object + ".rdf", BoxObject());
    }
    // Bonuses the race script lays on the track: a repair and a stop ("glow3") bonus, wide
    // across the road so a car on its line runs into them; their boxes come from their vertices.
    const std::string node = "  rotation 0 0 0 1\n";
    WriteMesh(folder, "bonus_remont.p3d", "mesh physics\nnode bonus_remont\n" + node + "  cube 6 20 6\nend\n");
    WriteMesh(folder, "bonus_fast.p3d", "mesh physics\nnode bonus_fast\n" + node + "  cube 20 6 6\n  node glow3\n  " + node +
                                            "    cube 0.2 0.2 0.2\n  end\nend\n");
    const std::string material = "effectfile = plain.fx\ntexturefile1 = box.tga\n";
    WriteText(folder, "Data/Meshes/bonus_remont.rdf", "mesh = bonus_remont.p3d\n[bonus_remont]\n" + material);
    WriteText(folder, "Data/Meshes/bonus_fast.rdf",
              "mesh = bonus_fast.p3d\n[bonus_fast]\n" + material + "[glow3]\n" + material);
    WriteMesh(folder, "road_phys1.msh", RoadMesh(16, 20.0f, -60.0f));
    WriteText(folder, "Data/Meshes/road_phys1.rdf", "mesh = road_phys1.msh\n[road]\n" + material);

    WriteCar(folder, std::string(PlayerModel) + ".rdf");
    WriteCar(folder, std::string(PlayerModel) + "_enemy.rdf");
    for (size_t i = 1; i <= ComputerCars; ++i) {
        WriteCar(folder, "kestrel" + std::to_string(i) + "_enemy.rdf");
    }
    WriteLevel(folder, Objects(), Paths());
}

}  // namespace TestLevelFiles

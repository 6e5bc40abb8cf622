// obj_geometry.cpp - tinyobjloader (Debian's libtinyobjloader) parses; this
// file checks what it lets pass and hands the result to the library.
//
// 1. A statement pass over the OBJ text notes each face's line and checks
//    numbers and index ranges, so every later complaint has a line.
// 2. tinyobjloader reads the OBJ, and through our material reader the MTL
//    files, each checked the same way first. An mtllib path that does not
//    exist as written is also tried as a bare name beside the OBJ (files
//    moved out of the folder they were made in keep working).
// 3. Pictures are read, maps and attributes made, then the faces, in file
//    order; polygons of more than four corners become triangle fans.
#include "obj_geometry.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <tiny_obj_loader.h>

#include "input_error.h"
#include "text_statements.h"
#include "texture_file.h"

namespace example {
namespace {

namespace fs = std::filesystem;

constexpr float kPi = 3.14159265f;
constexpr int kMaxSkipWarnings = 5;  // then one line with the count
// Blend mode 1 with ratio 1: map 2's value is the transmission itself.
constexpr long kReplaceBlend = 1;
const char* const kNoMaterial = "(no material)";

std::string ReadText(const std::string& path, const std::string& reader, int line)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InputError(reader.empty() ? path : reader, reader.empty() ? 0 : line,
                              reader.empty() ? "cannot be read" : "cannot read '" + path + "'");
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// What the statement pass learns about the OBJ.
struct ObjLines {
    std::vector<int> faceLines;                  // line of each face, in order
    std::map<std::string, int> materialUses;     // usemtl name to its first line
    std::map<std::string, int> materialLibraries;  // mtllib name to its line
};

// The index word's parts "v", "v/t", "v//n", "v/t/n" each within range: a
// positive index counts from the file's start, a negative one back from
// the current count.
void CheckIndex(const std::string& file, const Statement& face, const std::string& word, size_t part, long count,
                const char* what)
{
    size_t start = 0;
    for (size_t i = 0; i < part; ++i) {
        start = word.find('/', start);
        if (start == std::string::npos) return;
        ++start;
    }
    std::string text = word.substr(start, word.find('/', start) - start);
    if (text.empty()) {
        if (part == 0) throw InputError(file, face.line, "face corner '" + word + "' has no vertex index");
        return;
    }
    double value;
    if (!ParseNumber(text, value) || value != static_cast<long>(value))
        throw InputError(file, face.line, "face corner '" + word + "': '" + text + "' is not a whole number");
    long index = static_cast<long>(value);
    if (index == 0 || index > count || -index > count)
        throw InputError(file, face.line,
                         "face corner '" + word + "' names " + what + " " + text + " of " + std::to_string(count));
}

ObjLines CheckObj(const std::string& file, const std::string& text)
{
    ObjLines lines;
    long positions = 0, coords = 0, normals = 0;
    ForEachStatement(text, [&](const Statement& s) {
        if (s.keyword == "v") {
            RequireNumbers(file, s, 3, 7);  // x y z, optionally w or a colour
            ++positions;
        } else if (s.keyword == "vt") {
            RequireNumbers(file, s, 1, 3);
            ++coords;
        } else if (s.keyword == "vn") {
            RequireNumbers(file, s, 3, 3);
            ++normals;
        } else if (s.keyword == "f") {
            if (s.arguments.size() < 3)
                throw InputError(file, s.line, "a face needs at least three corners, found " +
                                                   std::to_string(s.arguments.size()));
            for (const std::string& corner : s.arguments) {
                CheckIndex(file, s, corner, 0, positions, "vertex");
                CheckIndex(file, s, corner, 1, coords, "texture coordinate");
                CheckIndex(file, s, corner, 2, normals, "normal");
            }
            lines.faceLines.push_back(s.line);
        } else if (s.keyword == "usemtl" && !s.arguments.empty()) {
            lines.materialUses.emplace(s.arguments[0], s.line);
        } else if (s.keyword == "mtllib") {
            for (const std::string& name : s.arguments) lines.materialLibraries.emplace(name, s.line);
        }
    });
    return lines;
}

// Numbers of the MTL statements this example uses.
void CheckMtl(const std::string& file, const std::string& text)
{
    ForEachStatement(text, [&](const Statement& s) {
        const std::string& k = s.keyword;
        if (k == "Kd" || k == "Ka" || k == "Ks" || k == "Ke" || k == "Tf")
            RequireNumbers(file, s, 1, 3);
        else if (k == "d" || k == "Tr" || k == "Ns" || k == "Ni")
            RequireNumbers(file, s, 1, 1);
    });
}

// tinyobjloader's hook for mtllib: finds the file, checks it, lets
// tinyobjloader read it, and remembers where each material came from.
class CheckedMaterialReader : public tinyobj::MaterialReader {
public:
    CheckedMaterialReader(std::string objPath, const ObjLines& lines) : objPath_(std::move(objPath)), lines_(lines) {}

    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* index, std::string* warning, std::string* error) override
    {
        const fs::path folder = fs::path(objPath_).parent_path();
        fs::path path = folder / name;
        std::error_code ignored;
        if (!fs::is_regular_file(path, ignored)) path = folder / fs::path(name).filename();
        auto line = lines_.materialLibraries.find(name);
        int lineNumber = line == lines_.materialLibraries.end() ? 0 : line->second;
        if (!fs::is_regular_file(path, ignored))
            throw InputError(objPath_, lineNumber, "material library '" + name + "' not found beside the OBJ");

        const std::string text = ReadText(path.string(), objPath_, lineNumber);
        CheckMtl(path.string(), text);
        size_t before = materials->size();
        std::istringstream stream(text);
        tinyobj::LoadMtl(index, materials, &stream, warning, error);
        for (size_t i = before; i < materials->size(); ++i) mtlOf_[(*materials)[i].name] = path.string();
        return true;
    }

    // The MTL file that defined material name.
    std::string MtlOf(const std::string& name) const
    {
        auto found = mtlOf_.find(name);
        return found == mtlOf_.end() ? objPath_ : found->second;
    }

private:
    std::string objPath_;
    const ObjLines& lines_;
    std::map<std::string, std::string> mtlOf_;
};

// The line of the statement in an MTL file that names picture, for messages.
int LineNaming(const std::string& mtlPath, const std::string& picture)
{
    std::ifstream in(mtlPath);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.find(picture) != std::string::npos) return number;
    }
    return 0;
}

// Maps by picture path, so materials that share a picture share a map.
class MapMaker {
public:
    // The map's name, made at the first request. Throws InputError naming
    // the MTL line for a picture that cannot be read.
    std::string Get(const std::string& mtlPath, const std::string& picture)
    {
        fs::path path = (fs::path(mtlPath).parent_path() / picture).lexically_normal();
        auto found = names_.find(path.string());
        if (found != names_.end()) return found->second;

        TextureImage image;
        std::string why;
        if (!ReadTexture(path.string(), image, why))
            throw InputError(mtlPath, LineNaming(mtlPath, picture), "cannot read the picture '" + picture + "': " + why);
        std::string name = "map " + std::to_string(names_.size() + 1);
        VekMap_Instanciate(name.c_str(), path.string().c_str());
        VekMap_BindImage(name.c_str(), image.width, image.height, image.components, image.pixels.data());
        names_[path.string()] = name;
        return name;
    }

private:
    std::map<std::string, std::string> names_;
};

bool Emits(const tinyobj::material_t& m) { return m.emission[0] > 0 || m.emission[1] > 0 || m.emission[2] > 0; }

void MakeAttribute(const tinyobj::material_t& m, const std::string& mtlPath, MapMaker& maps)
{
    float diffuse[3] = {m.diffuse[0], m.diffuse[1], m.diffuse[2]};
    // Tf, when given, is the colour that passes; else the dissolve d (or Tr)
    // says how opaque the material is.
    bool filter = m.transmittance[0] > 0 || m.transmittance[1] > 0 || m.transmittance[2] > 0;
    float clear = 1.0f - m.dissolve;
    float transparency[3] = {filter ? m.transmittance[0] : clear, filter ? m.transmittance[1] : clear,
                             filter ? m.transmittance[2] : clear};
    float specular[3] = {m.specular[0], m.specular[1], m.specular[2]};
    VekAttribute_SetDiffuse(diffuse);
    VekAttribute_SetTransparency(transparency);
    VekAttribute_SetSpecular(specular);
    VekAttribute_SetRefractionIndex(m.ior);
    VekAttribute_SetMap(0, nullptr);
    if (!m.diffuse_texname.empty()) {
        std::string map = maps.Get(mtlPath, m.diffuse_texname);
        VekAttribute_SetMap(VEK_MAP_1, const_cast<char*>(map.c_str()));
    }
    if (!m.alpha_texname.empty()) {
        // map_d is opacity (white opaque): inverted, it is the transmission.
        std::string map = maps.Get(mtlPath, m.alpha_texname);
        VekAttribute_SetMap(VEK_MAP_2, const_cast<char*>(map.c_str()));
        VekAttribute_SetMapEditParams(VEK_MAP_2, 1, kReplaceBlend, 1.0f);
    }
    VekAttribute_Instanciate(const_cast<char*>(m.name.c_str()));
}

_VekLight* FindLight(int32_t type, int32_t index)
{
    for (_VekLight* light = VekMemory_GetLightList(); light; light = light->next)
        if (light->type == type && light->index == index) return light;
    return nullptr;
}

float PolygonArea(const std::vector<Vec3>& corners)
{
    Vec3 sum(0, 0, 0);
    for (size_t i = 1; i + 1 < corners.size(); ++i) sum += CG::cross(corners[i] - corners[0], corners[i + 1] - corners[0]);
    return 0.5f * Length(sum);
}

// A Lambertian panel of luminance Ke x unit: flux = pi L A, the energy the
// example gives an area light.
void MakeAreaLight(const std::vector<Vec3>& corners, const tinyobj::material_t& m, float unit, LoadedGeometry& out)
{
    Vec3 ke(m.emission[0], m.emission[1], m.emission[2]);
    Vec3 energy = UnitLuminance(ke) * (kPi * Luminance(ke) * unit * PolygonArea(corners));
    float e[3] = {energy.x, energy.y, energy.z}, points[4][3];
    Vec3 centre(0, 0, 0);
    for (size_t i = 0; i < corners.size(); ++i) {
        for (int axis = 0; axis < 3; ++axis) points[i][axis] = corners[i][axis];
        centre += corners[i] * (1.0f / corners.size());
    }
    int32_t index = VekLight_InstanciateAreaLight(e, static_cast<int32_t>(corners.size()), &points[0][0], 1);
    if (_VekLight* record = index >= 0 ? FindLight(VEK_LIGHT_AREA, index) : nullptr)
        out.areaLights.push_back(AreaLightMade{record, centre, m.name});
}

// One polygon of up to four corners as a surface; false when the library
// made nothing of it.
bool MakeSurface(std::vector<Vec3>& p, std::vector<Vec3>& n, std::vector<Vec3>& t, bool twoSided)
{
    long before = VekSurface_GetCount();
    float* normals = n.empty() ? nullptr : &n[0].x;
    float* coords = t.empty() ? nullptr : &t[0].x;
    if (twoSided)
        VekSurface_InstanciateDouble(static_cast<long>(p.size()), &p[0].x, normals, coords);
    else
        VekSurface_Instanciate(static_cast<long>(p.size()), &p[0].x, normals, coords);
    return VekSurface_GetCount() > before;
}

}  // namespace

LoadedGeometry LoadObjGeometry(const SceneDescription& description)
{
    const std::string& objPath = description.objPath;
    const SceneFrame& frame = description.frame;
    LoadedGeometry out;

    // 1. Statements and their lines.
    const std::string text = ReadText(objPath, "", 0);
    const ObjLines lines = CheckObj(objPath, text);

    // 2. tinyobjloader, keeping quadrilaterals (the library takes them).
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning, error;
    CheckedMaterialReader reader(objPath, lines);
    std::istringstream stream(text);
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &error, &stream, &reader, false, false))
        throw InputError(objPath, 0, error.empty() ? "cannot be read as OBJ" : error);
    std::map<std::string, int> materialIndex;
    for (size_t i = 0; i < materials.size(); ++i) materialIndex[materials[i].name] = static_cast<int>(i);
    for (const auto& use : lines.materialUses)
        if (!materialIndex.count(use.first))
            throw InputError(objPath, use.second, "material '" + use.first + "' is in no material library");
    for (const auto& option : description.materials)
        if (!materialIndex.count(option.first))
            throw InputError(option.second.where, 0, "material \"" + option.first + "\" is not in the OBJ's MTL files");

    // 3. Maps and attributes; faces without a material take a mid grey.
    VekMap_SetMinFilter(5);  // mipmapped, linearly filtered for the display
    VekMap_SetMagFilter(1);
    MapMaker maps;
    for (const tinyobj::material_t& m : materials) {
        MakeAttribute(m, reader.MtlOf(m.name), maps);
        out.materials.push_back(m.name);
    }
    float grey[3] = {0.5f, 0.5f, 0.5f}, none[3] = {0, 0, 0};
    VekAttribute_SetDiffuse(grey);
    VekAttribute_SetTransparency(none);
    VekAttribute_SetMap(0, nullptr);
    VekAttribute_Instanciate(const_cast<char*>(kNoMaterial));

    // Faces, in file order (tinyobjloader keeps it across shapes).
    VekSurface_SetCheckVertexOnOnePlane(1);  // warped quadrilaterals become two triangles
    out.low = Vec3(1e30f, 1e30f, 1e30f);
    out.high = Vec3(-1e30f, -1e30f, -1e30f);
    int face = 0;
    for (const tinyobj::shape_t& shape : shapes) {
        size_t corner = 0;
        for (size_t f = 0; f < shape.mesh.num_face_vertices.size(); ++f, ++face) {
            const size_t count = shape.mesh.num_face_vertices[f];
            const int materialId = shape.mesh.material_ids[f];
            const tinyobj::material_t* m = materialId >= 0 ? &materials[materialId] : nullptr;
            std::vector<Vec3> p, n, t;
            for (size_t k = 0; k < count; ++k) {
                const tinyobj::index_t& index = shape.mesh.indices[corner + k];
                const float* v = &attrib.vertices[3 * size_t(index.vertex_index)];
                p.push_back(frame.Point(v[0], v[1], v[2]));
                if (index.normal_index >= 0) {
                    const float* vn = &attrib.normals[3 * size_t(index.normal_index)];
                    n.push_back(Normalized(frame.Direction(vn[0], vn[1], vn[2])));
                }
                if (index.texcoord_index >= 0) {
                    // OBJ's v runs up the picture; the library's v = 0 is its first (top) row.
                    const float* vt = &attrib.texcoords[2 * size_t(index.texcoord_index)];
                    t.push_back(Vec3(vt[0], 1.0f - vt[1], 0.0f));
                }
                for (int axis = 0; axis < 3; ++axis) {
                    out.low[axis] = std::min(out.low[axis], p.back()[axis]);
                    out.high[axis] = std::max(out.high[axis], p.back()[axis]);
                }
            }
            corner += count;
            if (n.size() != count) n.clear();
            if (t.size() != count) t.clear();

            // Fan of up to four corners each: the whole face when it has four or fewer.
            bool made = true;
            for (size_t first = 1; first + 1 < count; first += 2) {
                size_t last = std::min(first + 2, count - 1);
                std::vector<size_t> pick = {0};
                for (size_t k = first; k <= last; ++k) pick.push_back(k);
                std::vector<Vec3> pp, nn, tt;
                for (size_t k : pick) {
                    pp.push_back(p[k]);
                    if (!n.empty()) nn.push_back(n[k]);
                    if (!t.empty()) tt.push_back(t[k]);
                }
                if (m && Emits(*m)) {
                    MakeAreaLight(pp, *m, description.emissionUnit, out);
                    continue;
                }
                auto options = m ? description.materials.find(m->name) : description.materials.end();
                bool twoSided = options != description.materials.end() && options->second.twoSided;
                bool billboard = options != description.materials.end() && options->second.billboard;
                VekSurface_SetAttributeName(const_cast<char*>(m ? m->name.c_str() : kNoMaterial));
                VekSurface_SetFlags(billboard ? VEK_FACE_BILLBOARD : 0);
                made = MakeSurface(pp, nn, tt, twoSided) && made;
            }
            if (!made && ++out.skippedFaces <= kMaxSkipWarnings)
                std::fprintf(stderr, "%s:%d: warning: degenerate face skipped\n", objPath.c_str(),
                             face < static_cast<int>(lines.faceLines.size()) ? lines.faceLines[face] : 0);
        }
    }
    VekSurface_SetFlags(0);
    if (out.skippedFaces > kMaxSkipWarnings)
        std::fprintf(stderr, "%s: warning: %d degenerate faces skipped in all\n", objPath.c_str(), out.skippedFaces);
    out.faces = face;
    if (face == 0) throw InputError(objPath, 0, "the file has no faces");

    // Coplanar triangle pairs become quadrilaterals: fewer faces for every ray.
    out.surfacesBeforeMerge = VekSurface_GetCount();
    VekSurface_SimpleMergeAll();
    out.surfacesAfterMerge = VekSurface_GetCount();
    return out;
}

}  // namespace example

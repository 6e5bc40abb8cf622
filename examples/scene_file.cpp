// scene_file.cpp - the JSON description, key by key. Every value is
// checked for its type and range where it is read, and an unknown key is
// refused (a misspelt "heigth" must not silently become the default), each
// with the value's line.
#include "scene_file.h"

#include <cmath>
#include <filesystem>
#include <initializer_list>

#include "input_error.h"
#include "json_lines.h"

namespace example {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// One JSON object of the document, read key by key with its pointer.
class ObjectReader {
public:
    ObjectReader(const JsonDocument& document, const json& object, std::string pointer)
        : document_(document), object_(object), pointer_(std::move(pointer))
    {
        if (!object_.is_object()) Fail("", "expected an object { ... }");
    }

    [[noreturn]] void Fail(const std::string& key, const std::string& cause) const
    {
        std::string at = key.empty() ? pointer_ : pointer_ + "/" + key;
        throw InputError(document_.path, document_.LineOf(at), (key.empty() ? "" : "\"" + key + "\": ") + cause);
    }

    // Refuses keys outside known.
    void OnlyKeys(std::initializer_list<const char*> known) const
    {
        for (auto item = object_.begin(); item != object_.end(); ++item) {
            bool ok = false;
            for (const char* name : known) ok = ok || item.key() == name;
            if (!ok) Fail(item.key(), "unknown key");
        }
    }

    bool Has(const char* key) const { return object_.contains(key); }
    const json& At(const char* key) const { return object_.at(key); }
    std::string Pointer(const char* key) const { return pointer_ + "/" + key; }
    const JsonDocument& Document() const { return document_; }

    float Number(const char* key, float fallback, float low, float high) const
    {
        if (!Has(key)) return fallback;
        const json& value = At(key);
        if (!value.is_number()) Fail(key, "expected a number");
        double number = value.get<double>();
        if (!(number >= low && number <= high))
            Fail(key, "must lie between " + Format(low) + " and " + Format(high));
        return static_cast<float>(number);
    }
    float RequiredNumber(const char* key, float low, float high) const
    {
        Require(key);
        return Number(key, 0.0f, low, high);
    }
    int Integer(const char* key, int fallback, int low, int high) const
    {
        float value = Number(key, static_cast<float>(fallback), static_cast<float>(low), static_cast<float>(high));
        if (value != std::floor(value)) Fail(key, "expected a whole number");
        return static_cast<int>(value);
    }
    std::string Text(const char* key) const
    {
        Require(key);
        if (!At(key).is_string() || At(key).get<std::string>().empty()) Fail(key, "expected a non-empty text");
        return At(key).get<std::string>();
    }
    bool Flag(const char* key) const
    {
        if (!Has(key)) return false;
        if (!At(key).is_boolean()) Fail(key, "expected true or false");
        return At(key).get<bool>();
    }
    // count numbers in an array, each finite.
    std::vector<float> Numbers(const char* key, size_t count) const
    {
        Require(key);
        const json& value = At(key);
        if (!value.is_array() || value.size() != count) Fail(key, "expected an array of " + std::to_string(count) + " numbers");
        std::vector<float> numbers;
        for (const json& item : value) {
            if (!item.is_number() || !std::isfinite(item.get<double>()))
                Fail(key, "expected an array of " + std::to_string(count) + " numbers");
            numbers.push_back(item.get<float>());
        }
        return numbers;
    }
    void Require(const char* key) const
    {
        if (!Has(key)) Fail("", "missing \"" + std::string(key) + "\"");
    }

private:
    static std::string Format(float value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

    const JsonDocument& document_;
    const json& object_;
    std::string pointer_;
};

constexpr float kHuge = 1e6f;  // metres, lux, candela: beyond any room

std::string Where(const ObjectReader& reader, const char* key)
{
    return reader.Document().path + ":" + std::to_string(reader.Document().LineOf(reader.Pointer(key)));
}

Vec3 ReadDirection(const ObjectReader& object, const char* key, const SceneFrame& frame)
{
    std::vector<float> v = object.Numbers(key, 3);
    Vec3 direction = frame.Direction(v[0], v[1], v[2]);
    if (Length(direction) < 1e-6f) object.Fail(key, "a direction may not be zero");
    return Normalized(direction);
}

Vec3 ReadColour(const ObjectReader& object, const char* key)
{
    if (!object.Has(key)) return Vec3(1, 1, 1);
    std::vector<float> v = object.Numbers(key, 3);
    for (float c : v)
        if (c < 0.0f) object.Fail(key, "colour components may not be negative");
    if (Luminance(Vec3(v[0], v[1], v[2])) <= 0.0f) object.Fail(key, "a colour must have some luminance");
    return UnitLuminance(Vec3(v[0], v[1], v[2]));
}

LuminaireDesc ReadLuminaire(const ObjectReader& object, const SceneFrame& frame, const fs::path& folder)
{
    object.OnlyKeys({"name", "ies", "position", "aim", "turn", "multiplier", "colour"});
    LuminaireDesc luminaire;
    luminaire.name = object.Has("name") ? object.Text("name") : "luminaire";
    luminaire.iesPath = (folder / object.Text("ies")).lexically_normal().string();
    std::vector<float> p = object.Numbers("position", 3);
    luminaire.position = frame.Point(p[0], p[1], p[2]);
    luminaire.aim = object.Has("aim") ? ReadDirection(object, "aim", frame) : Vec3(0, 0, -1);
    luminaire.turn = object.Number("turn", 0.0f, -360.0f, 360.0f);
    luminaire.multiplier = object.Number("multiplier", 1.0f, 0.0f, kHuge);
    luminaire.colour = ReadColour(object, "colour");
    luminaire.where = Where(object, "ies");
    return luminaire;
}

GridDesc ReadGrid(const ObjectReader& object, const SceneFrame& frame)
{
    GridDesc grid;
    grid.name = object.Text("name");
    const std::string kind = object.Text("type");
    auto plan = [&](const char* key) {
        std::vector<float> v = object.Numbers(key, 2);
        return frame.Plan(v[0], v[1]);
    };
    if (kind == "horizontal") {
        object.OnlyKeys({"name", "type", "height", "border", "outline"});
        grid.kind = GridKind::Horizontal;
        grid.height = frame.Length(object.RequiredNumber("height", -kHuge, kHuge));
        grid.border = frame.Length(object.Number("border", 0.0f, 0.0f, kHuge));
        if (object.Has("outline")) {
            const json& outline = object.At("outline");
            if (!outline.is_array() || outline.size() < 3)
                object.Fail("outline", "expected an array of at least three [x, y] points");
            for (size_t i = 0; i < outline.size(); ++i) {
                const json& point = outline[i];
                if (!point.is_array() || point.size() != 2 || !point[0].is_number() || !point[1].is_number())
                    throw InputError(object.Document().path,
                                     object.Document().LineOf(object.Pointer("outline") + "/" + std::to_string(i)),
                                     "\"outline\": expected [x, y]");
                grid.outline.push_back(frame.Plan(point[0].get<float>(), point[1].get<float>()));
            }
        }
    } else if (kind == "vertical") {
        object.OnlyKeys({"name", "type", "from", "to", "bottom", "top"});
        grid.kind = GridKind::Vertical;
        grid.from = plan("from");
        grid.to = plan("to");
        grid.bottom = frame.Length(object.RequiredNumber("bottom", -kHuge, kHuge));
        grid.top = frame.Length(object.RequiredNumber("top", -kHuge, kHuge));
        if (std::hypot(grid.to.x - grid.from.x, grid.to.y - grid.from.y) < 1e-3f)
            object.Fail("to", "a vertical plane needs \"from\" and \"to\" apart");
        if (grid.top <= grid.bottom) object.Fail("top", "must lie above \"bottom\"");
    } else {
        object.Fail("type", "expected \"horizontal\" or \"vertical\", found \"" + kind + "\"");
    }
    return grid;
}

SceneDescription ReadJsonScene(const std::string& path)
{
    JsonDocument document = ReadJsonFile(path);
    ObjectReader top(document, document.root, "");
    top.OnlyKeys({"geometry", "up", "metresPerUnit", "emissionUnit", "materials", "luminaires", "sky", "camera",
                  "grids", "indirect"});
    const fs::path folder = fs::path(path).parent_path();

    SceneDescription scene;
    scene.path = path;
    scene.objPath = (folder / top.Text("geometry")).lexically_normal().string();
    if (top.Has("up")) {
        std::string up = top.Text("up");
        if (up != "y" && up != "z") top.Fail("up", "expected \"y\" or \"z\"");
        scene.frame.yUp = up == "y";
    }
    scene.frame.metresPerUnit = top.Number("metresPerUnit", 1.0f, 1e-6f, 1e6f);
    scene.emissionUnit = top.Number("emissionUnit", scene.emissionUnit, 0.0f, kHuge);
    const SceneFrame& frame = scene.frame;

    if (top.Has("materials")) {
        ObjectReader materials(document, top.At("materials"), "/materials");
        for (auto item = top.At("materials").begin(); item != top.At("materials").end(); ++item) {
            ObjectReader entry(document, item.value(), "/materials/" + item.key());
            entry.OnlyKeys({"twoSided", "billboard"});
            MaterialOptions options{entry.Flag("twoSided"), entry.Flag("billboard"),
                                    path + ":" + std::to_string(document.LineOf("/materials/" + item.key()))};
            scene.materials[item.key()] = options;
        }
    }
    if (top.Has("luminaires")) {
        if (!top.At("luminaires").is_array()) top.Fail("luminaires", "expected an array");
        for (size_t i = 0; i < top.At("luminaires").size(); ++i)
            scene.luminaires.push_back(ReadLuminaire(
                ObjectReader(document, top.At("luminaires")[i], "/luminaires/" + std::to_string(i)), frame, folder));
    }
    if (top.Has("sky")) {
        ObjectReader sky(document, top.At("sky"), "/sky");
        sky.OnlyKeys({"illuminance", "colour", "windowOutward"});
        scene.sky.present = true;
        scene.sky.illuminance = sky.RequiredNumber("illuminance", 0.0f, 200000.0f);
        scene.sky.colour = ReadColour(sky, "colour");
        if (sky.Has("windowOutward")) scene.sky.windowOutward = ReadDirection(sky, "windowOutward", frame);
    }
    if (top.Has("camera")) {
        ObjectReader camera(document, top.At("camera"), "/camera");
        camera.OnlyKeys({"eye", "target", "fov"});
        std::vector<float> eye = camera.Numbers("eye", 3), target = camera.Numbers("target", 3);
        scene.camera = CameraDesc{true, frame.Point(eye[0], eye[1], eye[2]), frame.Point(target[0], target[1], target[2]),
                                  camera.Number("fov", 60.0f, 1.0f, 170.0f)};
        if (Length(scene.camera.target - scene.camera.eye) < 1e-6f) camera.Fail("target", "must differ from \"eye\"");
    }
    if (top.Has("grids")) {
        if (!top.At("grids").is_array()) top.Fail("grids", "expected an array");
        for (size_t i = 0; i < top.At("grids").size(); ++i)
            scene.grids.push_back(
                ReadGrid(ObjectReader(document, top.At("grids")[i], "/grids/" + std::to_string(i)), frame));
    }
    if (top.Has("indirect")) {
        ObjectReader indirect(document, top.At("indirect"), "/indirect");
        indirect.OnlyKeys({"samples", "bounces"});
        scene.indirect.samples = indirect.Integer("samples", scene.indirect.samples, 0, kMaxIndirectSamples);
        scene.indirect.bounces = indirect.Integer("bounces", scene.indirect.bounces, 1, kMaxBounces);
    }
    return scene;
}

}  // namespace

SceneDescription ReadSceneFile(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".obj") {
        SceneDescription scene;
        scene.path = path;
        scene.objPath = path;
        return scene;
    }
    if (extension != ".json") throw InputError(path, 0, "expected a scene description (.json) or an OBJ file (.obj)");
    return ReadJsonScene(path);
}

}  // namespace example

// scene_input_test.cpp - what the example makes of real and of bad input:
// the real Cornell box, and bad files, each refused with the file, the line
// and the cause; the grid spacing rule; the command line.
#include <gtest/gtest.h>

#include "example_scene.h"
#include "input_error.h"
#include "options.h"

namespace example_test {
namespace {

// The message of the InputError that reading and building scene.json throws.
std::string Complaint(const ExampleScene& scene)
{
    try {
        scene.Use([](const example::Scene&) {});
    } catch (const example::InputError& e) {
        return e.what();
    }
    return "(nothing)";
}

const char* kJson = R"({ "geometry": "scene.obj", "up": "z" })";

TEST(ExampleSceneInput, CornellBoxLoadsWithItsCeilingLight)
{
    // Its mtllib names a folder it is not in, its indices are relative,
    // its quadrilaterals are warped; its light is the emitting material.
    const std::string folder = std::string(VEK_TEST_DATA_DIR) + "/scenes/";
    example::SceneDescription description = example::ReadSceneFile(folder + "CornellBox-Original.obj");
    VekMain_Initialize();
    example::Scene built = example::BuildScene(description);
    EXPECT_EQ(built.geometry.faces, 18);
    EXPECT_EQ(built.geometry.skippedFaces, 0);
    EXPECT_EQ(built.geometry.materials.size(), 8u);
    ASSERT_EQ(built.geometry.areaLights.size(), 1u);
    EXPECT_EQ(built.geometry.areaLights[0].material, "light");
    // y up: the box stands on z = 0 and is 1.99 high.
    EXPECT_NEAR(built.geometry.low.z, 0.0f, 1e-6f);
    EXPECT_NEAR(built.geometry.high.z, 1.99f, 1e-6f);
    VekMain_End();
}

TEST(ExampleSceneInput, BadFilesAreRefusedWithFileLineAndCause)
{
    struct Case {
        const char* obj;
        const char* mtl;
        const char* json;
        const char* expected;
        const char* ies = "";  // a.ies, when not empty
    };
    const Case cases[] = {
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", "", kJson, "scene.obj:4: face corner '4' names vertex 4 of 3"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n", "", kJson, "scene.obj:4: a face needs at least three corners"},
        {"v 0 0 0\nv 1 0 nan\n", "", kJson, "scene.obj:2: 'v': 'nan' is not a finite number"},
        {"mtllib missing.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "", kJson,
         "scene.obj:1: material library 'missing.mtl' not found"},
        {"mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl paint\nf 1 2 3\n", "newmtl wall\nKd 1 1 1\n", kJson,
         "scene.obj:5: material 'paint' is in no material library"},
        {"mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl wall\nf 1 2 3\n", "newmtl wall\nKd 1 x 1\n", kJson,
         "scene.mtl:2: 'Kd': 'x' is not a finite number"},
        {"mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl wall\nf 1 2 3\n", "newmtl wall\nmap_Kd none.png\n",
         kJson, "scene.mtl:2: cannot read the picture 'none.png'"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "", "{\n  \"geometry\": \"scene.obj\",\n  \"up\": \"x\"\n}",
         "scene.json:3: \"up\": expected \"y\" or \"z\""},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "", "{\n  \"geometry\": \"scene.obj\",\n  \"grids\": [\n  ]\n  \"sky\": 1\n}",
         "scene.json:5: syntax error"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "",
         "{ \"geometry\": \"scene.obj\",\n  \"luminaires\": [\n    { \"ies\": \"a.ies\",\n      \"positon\": [0, 0, 1] }\n  ] }",
         "scene.json:4: \"positon\": unknown key"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "",
         "{ \"geometry\": \"scene.obj\",\n  \"luminaires\": [{ \"ies\": \"a.ies\", \"position\": [0, 0, 1] }] }",
         "scene.json:2: luminaire \"luminaire\": '"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "",
         "{ \"geometry\": \"scene.obj\",\n  \"luminaires\": [{ \"ies\": \"a.ies\", \"position\": [0, 0, 1] }] }",
         "a.ies': LM-63-2002, line 7: expected candela value 2 of 3",
         "IESNA:LM-63-2002\nTILT=NONE\n1 -1 1 3 1 1 2 0 0 0\n1 1 0\n0 45 90\n0\n100 abc 50\n"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "",
         "{ \"geometry\": \"scene.obj\",\n  \"indirect\": { \"samples\": -3 } }",
         "scene.json:2: \"samples\": must lie between 0 and 65536"},
    };
    for (const Case& c : cases) {
        ExampleScene scene;
        scene.Write("scene.obj", c.obj);
        if (*c.mtl) scene.Write("scene.mtl", c.mtl);
        if (*c.ies) scene.Write("a.ies", c.ies);
        scene.Write("scene.json", c.json);
        std::string complaint = Complaint(scene);
        EXPECT_NE(complaint.find(c.expected), std::string::npos) << complaint << "\n  expected: " << c.expected;
    }
}

TEST(ExampleSceneInput, GridSpacingFollowsTheStandardsRule)
{
    // p = 0.2 x 5^log10(d): 0.2 m at 1 m, 1 m at 10 m; a plane twice as
    // long as it is wide takes its shorter side.
    EXPECT_NEAR(example::StandardSpacing(1.0f, 1.0f), 0.2f, 1e-6f);
    EXPECT_NEAR(example::StandardSpacing(10.0f, 6.0f), 1.0f, 1e-5f);
    EXPECT_NEAR(example::StandardSpacing(20.0f, 10.0f), 1.0f, 1e-5f);
    EXPECT_NEAR(example::StandardSpacing(1000.0f, 1000.0f), 10.0f, 1e-5f);  // the cap
}

TEST(ExampleSceneInput, ValueTakingOptionFollowedByAnOptionSaysItsValueIsMissing)
{
    auto parse = [](std::vector<const char*> args, std::string& error) {
        args.insert(args.begin(), "vek_example");
        example::Options options;
        return example::ParseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), options, error);
    };
    std::string error;
    EXPECT_FALSE(parse({"--ies", "--output", "D"}, error));
    EXPECT_EQ(error, "option '--ies' needs a value, but is followed by the option '--output'");
    EXPECT_FALSE(parse({"--threads", "-1"}, error));  // a negative number is a value, and a bad one
    EXPECT_NE(error.find("bad thread count '-1'"), std::string::npos);
    EXPECT_FALSE(parse({"--scene"}, error));
    EXPECT_EQ(error, "option '--scene' needs a value");
    EXPECT_TRUE(parse({"--output=-dir", "--size", "64x48"}, error)) << error;
}

}  // namespace
}  // namespace example_test

// room.cpp - the room: shell with a window, furniture, a glass pane, a
// perforated screen, a billboard tree and a curved chair.
//
// Walls, ceiling and furniture are one-sided quadrilaterals facing the
// room; thin sheets (glass, screen) are two-sided; the floor is made of
// triangle pairs that the library merges into tiles later; the chair is a
// Bezier patch.
#include "room.h"

#include <Vek.h>

#include "geometry_builder.h"
#include "materials.h"
#include "room_layout.h"

namespace example {
namespace {

using namespace layout;

const Vec3 kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

// Floor, ceiling and four walls; the wall x = kRoomX is four pieces around
// the window opening.
void AddShell()
{
    UseAttribute(material::kFloor);
    AddTriangleFloor(0.0f, 0.0f, kRoomX, kRoomY, 0.5f, 0.5f);

    UseAttribute(material::kCeiling);
    AddQuad(Vec3(0, 0, kRoomZ), kY * kRoomY, kX * kRoomX);

    UseAttribute(material::kWall);
    AddQuad(Vec3(0, 0, 0), kZ * kRoomZ, kX * kRoomX);       // y = 0, facing +y
    AddQuad(Vec3(0, kRoomY, 0), kX * kRoomX, kZ * kRoomZ);  // y = kRoomY, facing -y
    AddQuad(Vec3(0, 0, 0), kY * kRoomY, kZ * kRoomZ);       // x = 0, facing +x

    // x = kRoomX, facing -x: below, above, and beside the window.
    const Vec3 wall(kRoomX, 0, 0);
    AddQuad(wall, kZ * kWindowZMin, kY * kRoomY);
    AddQuad(wall + kZ * kWindowZMax, kZ * (kRoomZ - kWindowZMax), kY * kRoomY);
    AddQuad(wall + kZ * kWindowZMin, kZ * (kWindowZMax - kWindowZMin), kY * kWindowYMin);
    AddQuad(wall + Vec3(0, kWindowYMax, kWindowZMin), kZ * (kWindowZMax - kWindowZMin), kY * (kRoomY - kWindowYMax));
}

void AddWindow()
{
    UseAttribute(material::kGlass);
    QuadOptions twoSided;
    twoSided.doubleSided = true;
    AddQuad(Vec3(kRoomX, kWindowYMin, kWindowZMin), kZ * (kWindowZMax - kWindowZMin),
            kY * (kWindowYMax - kWindowYMin), twoSided);

    UseAttribute(material::kCabinet);
    AddBox(Vec3(kRoomX - 0.22f, kWindowYMin - 0.05f, kWindowZMin - 0.04f), Vec3(kRoomX, kWindowYMax + 0.05f, kWindowZMin));
}

void AddTable()
{
    const float top = 0.04f, leg = 0.05f, inset = 0.06f;
    UseAttribute(material::kTableTop);
    AddBox(Vec3(kTableXMin, kTableYMin, kTableHeight - top), Vec3(kTableXMax, kTableYMax, kTableHeight), 0.8f);

    UseAttribute(material::kMetal);
    const float xs[2] = {kTableXMin + inset, kTableXMax - inset - leg};
    const float ys[2] = {kTableYMin + inset, kTableYMax - inset - leg};
    for (float x : xs)
        for (float y : ys) AddBox(Vec3(x, y, 0.0f), Vec3(x + leg, y + leg, kTableHeight - top));
}

void AddCabinetAndPainting()
{
    UseAttribute(material::kCabinet);
    AddBox(Vec3(3.6f, 4.55f, 0.0f), Vec3(5.4f, kRoomY, 0.85f));

    // The painting hangs just off the back wall; its first picture row is its top.
    UseAttribute(material::kPainting);
    QuadOptions picture;
    picture.uScale = 1.5f;
    picture.vScale = 1.0f;
    picture.flipV = true;
    AddQuad(Vec3(1.4f, kRoomY - 0.01f, 1.3f), kX * 1.5f, kZ * 1.0f, picture);
}

// The perforated screen stands across the spot light's beam, halfway to the
// floor spot, on two feet.
void AddScreen()
{
    Vec3 beam = SpotTarget() - SpotPosition();
    Vec3 centre = SpotPosition() + beam * 0.5f;
    Vec3 across = Normalized(Vec3(-beam.y, beam.x, 0.0f));  // horizontal, square to the beam
    const float width = 1.6f, bottom = 0.3f, height = 1.8f;
    Vec3 corner = Vec3(centre.x, centre.y, bottom) - across * (width * 0.5f);

    UseAttribute(material::kScreen);
    QuadOptions sheet;
    sheet.uScale = 0.1f;  // one hole every 10 cm
    sheet.doubleSided = true;
    AddQuad(corner, across * width, kZ * height, sheet);

    UseAttribute(material::kMetal);
    for (float along : {0.05f, width - 0.05f}) {
        Vec3 foot = corner + across * along;
        AddBox(Vec3(foot.x - 0.02f, foot.y - 0.02f, 0.0f), Vec3(foot.x + 0.02f, foot.y + 0.02f, bottom));
    }
}

// A flat picture of a tree, flagged as a billboard, facing the camera; its
// see-through mask (map 2) lets light pass between the leaves.
void AddTree()
{
    Vec3 base = TreeBase();
    Vec3 toCamera = Normalized(Vec3(CameraEye().x - base.x, CameraEye().y - base.y, 0.0f));
    Vec3 across(-toCamera.y, toCamera.x, 0.0f);  // across x up = toCamera

    UseAttribute(material::kCabinet);
    AddBox(Vec3(base.x - 0.2f, base.y - 0.2f, 0.0f), Vec3(base.x + 0.2f, base.y + 0.2f, 0.35f));

    UseAttribute(material::kTree);
    UseFlags(VEK_FACE_BILLBOARD);
    QuadOptions picture;
    picture.uScale = kTreeWidth;
    picture.vScale = kTreeHeight;
    picture.flipV = true;
    AddQuad(base - across * (kTreeWidth * 0.5f), across * kTreeWidth, kZ * kTreeHeight, picture);
    UseFlags(0);
}

// A cantilevered shell chair by the window: one bicubic patch, rows from the
// front foot up over the seat to the top of the back, which wraps a little.
int AddChair()
{
    const Vec3 origin(4.85f, 1.0f, 0.0f);
    // (depth toward the window, height) of each row.
    const float profile[4][2] = {{-0.35f, 0.0f}, {-0.50f, 0.45f}, {0.30f, 0.22f}, {0.35f, 0.95f}};
    // Across from +y to -y, so that the patch's front (u tangent x v tangent)
    // faces the room and the display's back-face culling keeps it.
    const float across[4] = {0.35f, 0.12f, -0.12f, -0.35f};
    Vec3 points[4][4];
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 4; ++i) {
            bool wrap = row == 3 && (i == 0 || i == 3);
            float depth = profile[row][0] - (wrap ? 0.12f : 0.0f);
            points[row][i] = origin + Vec3(depth, across[i], profile[row][1]);
        }
    UseAttribute(material::kChair);
    return AddBezierPatch(points);
}

}  // namespace

RoomCounts BuildRoom()
{
    AddShell();
    AddWindow();
    AddTable();
    AddCabinetAndPainting();
    AddScreen();
    AddTree();
    RoomCounts counts;
    counts.bezierTriangles = AddChair();
    return counts;
}

}  // namespace example

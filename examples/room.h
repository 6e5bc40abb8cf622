// room.h - the furnished room of the default scene, built as library
// surfaces.
#pragma once

namespace example {

struct RoomCounts {
    int bezierTriangles;  // triangles the library made of the chair's patch
};

// Makes every surface of the room with the attributes of materials.h,
// which must exist already.
RoomCounts BuildRoom();

}  // namespace example

// geometry_builder.cpp - shapes through VekSurface_Instanciate,
// VekSurface_InstanciateDouble and VekBezierSurface_Instanciate.
#include "geometry_builder.h"

#include <cmath>

#include <Vek.h>

namespace example {

void UseAttribute(const char* name) { VekSurface_SetAttributeName(const_cast<char*>(name)); }

void UseFlags(unsigned long flags) { VekSurface_SetFlags(flags); }

void AddQuad(const Vec3& origin, const Vec3& a, const Vec3& b, QuadOptions options)
{
    const Vec3 corners[4] = {origin, origin + a, origin + a + b, origin + b};
    float positions[4][3], mapCoords[4][3];
    for (int i = 0; i < 4; ++i)
        for (int axis = 0; axis < 3; ++axis) positions[i][axis] = corners[i][axis];

    float* coords = nullptr;
    if (options.uScale > 0.0f) {
        float vScale = options.vScale > 0.0f ? options.vScale : options.uScale;
        float u = Length(a) / options.uScale, v = Length(b) / vScale;
        float v0 = options.flipV ? v : 0.0f, v1 = options.flipV ? 0.0f : v;
        const float uv[4][2] = {{0, v0}, {u, v0}, {u, v1}, {0, v1}};
        for (int i = 0; i < 4; ++i) {
            mapCoords[i][0] = uv[i][0];
            mapCoords[i][1] = uv[i][1];
            mapCoords[i][2] = 0.0f;
        }
        coords = &mapCoords[0][0];
    }
    if (options.doubleSided)
        VekSurface_InstanciateDouble(4, &positions[0][0], nullptr, coords);
    else
        VekSurface_Instanciate(4, &positions[0][0], nullptr, coords);
}

void AddBox(const Vec3& low, const Vec3& high, float mapScale)
{
    Vec3 size = high - low;
    Vec3 dx(size.x, 0, 0), dy(0, size.y, 0), dz(0, 0, size.z);
    QuadOptions options;
    options.uScale = mapScale;
    AddQuad(Vec3(low.x, low.y, high.z), dx, dy, options);  // top
    AddQuad(low, dy, dx, options);                         // bottom
    AddQuad(low, dx, dz, options);                         // -y side
    AddQuad(Vec3(low.x, high.y, low.z), dz, dx, options);  // +y side
    AddQuad(low, dz, dy, options);                         // -x side
    AddQuad(Vec3(high.x, low.y, low.z), dy, dz, options);  // +x side
}

void AddTriangleFloor(float xMin, float yMin, float xMax, float yMax, float tileSize, float mapScale)
{
    int columns = static_cast<int>(std::ceil((xMax - xMin) / tileSize - 1e-4f));
    int rows = static_cast<int>(std::ceil((yMax - yMin) / tileSize - 1e-4f));
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            float x0 = xMin + column * tileSize, y0 = yMin + row * tileSize;
            float x1 = std::fmin(x0 + tileSize, xMax), y1 = std::fmin(y0 + tileSize, yMax);
            // Corners counter-clockwise seen from above, with map coordinates
            // continuing from tile to tile.
            float p[4][3] = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
            float m[4][3] = {{x0 / mapScale, y0 / mapScale, 0}, {x1 / mapScale, y0 / mapScale, 0},
                             {x1 / mapScale, y1 / mapScale, 0}, {x0 / mapScale, y1 / mapScale, 0}};
            const int triangles[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& triangle : triangles) {
                float positions[3][3], coords[3][3];
                for (int i = 0; i < 3; ++i)
                    for (int axis = 0; axis < 3; ++axis) {
                        positions[i][axis] = p[triangle[i]][axis];
                        coords[i][axis] = m[triangle[i]][axis];
                    }
                VekSurface_Instanciate(3, &positions[0][0], nullptr, &coords[0][0]);
            }
        }
}

int AddBezierPatch(const Vec3 (&controlPoints)[4][4])
{
    float points[4 * 4 * 3];
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 4; ++i)
            for (int axis = 0; axis < 3; ++axis) points[(row * 4 + i) * 3 + axis] = controlPoints[row][i][axis];
    long slot = VekBezierSurface_Instanciate(4, 4, points, nullptr);
    const VekBezierSurface* patch = VekBezierSurface_GetAddress(slot);
    return patch ? 2 * patch->uSteps * patch->vSteps : 0;
}

}  // namespace example

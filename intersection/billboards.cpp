// billboards.cpp - turning the shadow copies of billboards to face a light.
//
// Each copy is turned about the vertical (z) line through its source's
// centre, always from the registered source's own geometry, so turns for
// different lights never accumulate. Corners go through the point matrix
// T(c) Rz(theta) T(-c); normals through the transposed rotation part of the
// matrix built with Rz(-theta), which turns a direction by theta. The copies' boxes
// were widened at registration to cover every such turn, so the grid stays
// valid.
#include <cmath>

#include "VekIntersection.h"
#include "core/matrix.h"
#include "intersection/environment.h"

namespace vek {
namespace {

CG::vec3<float> ApplyToPoint(const float* m, const CG::vec3<float>& p)
{
    float out[3];
    for (int r = 0; r < 3; ++r) out[r] = m[r] * p.x + m[4 + r] * p.y + m[8 + r] * p.z + m[12 + r];
    const float w = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
    if (w != 1.0f)
        for (float& v : out) v /= w;
    return CG::vec3<float>(out[0], out[1], out[2]);
}

CG::vec3<float> ApplyToDirection(const float* q, const CG::vec3<float>& d)
{
    return CG::vec3<float>(q[0] * d.x + q[1] * d.y + q[2] * d.z, q[4] * d.x + q[5] * d.y + q[6] * d.z,
                           q[8] * d.x + q[9] * d.y + q[10] * d.z);
}

// Turns every shadow copy; azimuth(centre) gives the light's direction angle
// as seen from a copy's centre.
template <class Azimuth>
void TurnShadowBillboards(Azimuth azimuth)
{
    for (const ShadowBillboard& b : CurrentEnvironment().shadowBillboards) {
        VekSurface& s = *b.copy;
        const VekSurface& r = *b.source;
        if (r.vertexCount < 3 || r.vertexCount > 4) continue;  // no polygon to turn
        const int n = r.vertexCount;
        // 1. Centre of the source's corners.
        CG::vec3<float> c(0.0f, 0.0f, 0.0f);
        for (int i = 0; i < n; ++i) c += r.vertex[i];
        c *= 1.0f / static_cast<float>(n);
        // 2. Angle from the source's facing to the light's.
        const float theta = azimuth(c) - std::atan2(r.normal.y, r.normal.x);
        // 3. Point matrix and 4. normal matrix.
        float t1[16], t2[16], rot[16], m[16], q[16];
        TranslationMatrix(-c.x, -c.y, -c.z, t1);
        TranslationMatrix(c.x, c.y, c.z, t2);
        RotationMatrix(theta, 0.0f, 0.0f, 1.0f, rot);
        MultiplyMatrix(t1, rot, m);
        MultiplyMatrix(m, t2, m);
        RotationMatrix(-theta, 0.0f, 0.0f, 1.0f, rot);
        MultiplyMatrix(t2, rot, q);
        MultiplyMatrix(q, t1, q);
        // 5. Corners and corner normals, 6. the face normal, 7. the plane.
        for (int i = 0; i < n; ++i) {
            s.vertex[i] = ApplyToPoint(m, r.vertex[i]);
            s.vertexNormal[i] = ApplyToDirection(q, r.vertexNormal[i]);
        }
        s.normal = ApplyToDirection(q, r.normal);
        s.SetRaytraceInfo();
    }
}

}  // namespace
}  // namespace vek

void VekIntersection_RotateToFrontPointShadowBillboards(const CG::vec3<float>& position)
{
    const CG::vec3<float> light = position;
    vek::TurnShadowBillboards([&](const CG::vec3<float>& c) { return std::atan2(light.y - c.y, light.x - c.x); });
}

void VekIntersection_RotateToFrontDirectionShadowBillboards(const CG::vec3<float>& direction)
{
    const float azimuth = std::atan2(direction.y, direction.x);
    vek::TurnShadowBillboards([&](const CG::vec3<float>&) { return azimuth; });
}

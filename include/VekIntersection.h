// VekIntersection.h - the intersection engine: a bounding volume hierarchy
// for nearest hits and transmission searches, a uniform voxel grid with
// nested grids for crowded cells for every hit along a ray, queries from any
// number of threads at once, and the turning of shadow billboards.
//
// Order: VekIntersection_Initialize; give every surface and area light its
// ray marks (VekFace::SetRayNumber, after setting threadCount); register
// them; VekIntersection_PrepareEnvironment; VekIntersection_Reset(lights);
// then queries from ray threads, each with its own thread number stored by
// VekMain_SetThreadNumber; finally VekIntersection_End.
//
// Queries allocate nothing and take no lock. Outside a prepared environment,
// or from a thread number not below the threadCount in force at preparation,
// they find nothing (hit queries 0, searches (1, 1, 1)) and touch nothing;
// both are host errors. Raytrace, MultiRaytrace and the searches start from
// the origin's cell: an origin outside the scene boundary finds nothing.
// Each thread writes only its own ray counter, its own row of the occluder
// cache and (MultiRaytrace only) its own entry of the faces' ray marks.
#pragma once

#include "VekFace.h"

// Environment ----------------------------------------------------------------
// Starts collecting a new environment; one left open is ended first.
VEK_API void VekIntersection_Initialize();
// Registers one surface face; a billboard becomes a view copy (hit by hit
// queries) and a shadow copy (seen by shadow searches), each with ray marks
// of its own, owned by the environment. A null surface, or one without ray
// marks, is refused with VEK_WARNING_INVALID_VALUE.
VEK_API void VekIntersection_RegisterSurface(VekSurface* surface);
// Registers an area light the host has prepared as a face (corners, normal,
// plane, bounds, ray marks; Type() non-zero). Refused like a surface.
VEK_API void VekIntersection_RegisterArealight(VekAreaLight* light);
// Builds the grid and the hierarchy over everything registered and
// publishes the scene boundary (the scene box with a margin) in
// g_mainStatusTable. Elements whose bounds are not finite or reach beyond
// 1e28 are left out. Every element's ray marks are cleared. A second call
// replaces both (a reset of the occluder cache must follow). With a
// threadCount of 2 or more and 4096 elements or more, the two are built on
// the calling thread and one more, which ends before the call returns; the
// result is the same either way. Memory exhaustion reaches the caller as
// std::bad_alloc.
VEK_API void VekIntersection_PrepareEnvironment();
// Releases the billboard copies, the grids and the hierarchy; registered
// surfaces and area lights stay the host's.
VEK_API void VekIntersection_End();

// Hit queries: 1 and hit filled when a face was hit, else 0 (hit unchanged).
// Nearest hit from anywhere (clipped to the scene box), culling by the
// display's VEK_DISPLAY_CULL bit.
VEK_API long VekIntersection_Pick(const CG::vec3<float>& origin, const CG::vec3<float>& direction, HitInfo& hit);
// Nearest surface hit with tMin < t; cull non-zero ignores faces seen from behind.
VEK_API long VekIntersection_RayCast(const CG::vec3<float>& origin, const CG::vec3<float>& direction, HitInfo& hit,
                                     float tMin, long cull);
// Nearest hit from an origin inside the scene, ignoring skip; area lights can be hit.
VEK_API long VekIntersection_Raytrace(const CG::vec3<float>& origin, const CG::vec3<float>& direction,
                                      const VekFace* skip, HitInfo& hit, float tMin, long cull);
// Every hit along the ray (in walk order, not sorted), at most maxHits;
// returns the number written.
VEK_API long VekIntersection_MultiRaytrace(const CG::vec3<float>& origin, const CG::vec3<float>& direction,
                                           const VekFace* skip, long maxHits, HitInfo* hits, float tMin);
VEK_API void VekIntersection_SetCullface(long value);
VEK_API void VekIntersection_GetClocksValues(long& a, long& b, float& ratio, long& c, long& d);
VEK_API void VekIntersection_GetClocksValues2(long& a, long& b, float& ratio, long& c, long& d);

// Transmission searches: the RGB factor that reaches the target through
// transparent materials and transparency maps; (0, 0, 0) when an opaque face
// is in the way. light selects the occluder-cache row (below the count given
// to VekIntersection_Reset).
// Along the segment origin .. origin + toTarget, ignoring skip and skip2.
VEK_API CG::vec3<float> VekIntersection_Search(const CG::vec3<float>& origin, const CG::vec3<float>& toTarget,
                                               const VekFace* skip, const VekFace* skip2, long light);
// Along the half-line from origin.
VEK_API CG::vec3<float> VekIntersection_SearchDirection(const CG::vec3<float>& origin,
                                                        const CG::vec3<float>& direction, const VekFace* skip,
                                                        long light);
// Along the half-line, with the thread number given instead of read from the slot.
VEK_API CG::vec3<float> VekIntersection_SearchDirectionForSkyLight(const CG::vec3<float>& origin,
                                                                   const CG::vec3<float>& direction,
                                                                   const VekFace* skip, long light, long thread);
// Sizes the occluder cache for lights lights and forgets their cached
// occluders. A search whose light is negative or not below that count runs
// without the cache (same answer). Raises VEK_ERROR_MEMORY when the cache
// cannot be sized, keeping the previous one.
VEK_API void VekIntersection_Reset(long lights);
VEK_API void VekIntersection_SkyLightReset(long lights);

// Shadow billboards: turn every shadow copy about the vertical (z) axis
// through its centre so that it faces a point light, or so that its normal
// points along the horizontal part of direction. Each call starts from the
// registered geometry. Call while no query runs.
VEK_API void VekIntersection_RotateToFrontPointShadowBillboards(const CG::vec3<float>& position);
VEK_API void VekIntersection_RotateToFrontDirectionShadowBillboards(const CG::vec3<float>& direction);

// VekIntersection.h - the intersection engine: a uniform voxel grid with
// nested grids for crowded cells, hit queries and transmission searches from
// any number of threads at once, and the turning of shadow billboards.
//
// Order: VekIntersection_Initialize; give every surface and area light its
// ray marks (VekFace::SetRayNumber, after setting threadCount); register
// them; VekIntersection_PrepareEnvironment; VekIntersection_Reset(lights);
// then queries from ray threads, each with its own thread number stored by
// VekMain_SetThreadNumber; finally VekIntersection_End.
//
// Queries allocate nothing, take no lock and check nothing: calling them
// outside a prepared environment, or with a thread number not below
// threadCount, is a host error.
#pragma once

#include "VekFace.h"

// Environment ----------------------------------------------------------------
VEK_API void VekIntersection_Initialize();
// Registers one surface face; a billboard becomes a view copy (hit by hit
// queries) and a shadow copy (seen by shadow searches).
VEK_API void VekIntersection_RegisterSurface(VekSurface* surface);
VEK_API void VekIntersection_RegisterArealight(VekAreaLight* light);
// Builds the grid over everything registered (at least one element) and
// publishes the scene boundary in g_mainStatusTable.
VEK_API void VekIntersection_PrepareEnvironment();
// Releases the billboard copies and the grids.
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
// Sizes the occluder cache for lights lights and forgets every cached occluder.
VEK_API void VekIntersection_Reset(long lights);
VEK_API void VekIntersection_SkyLightReset(long lights);

// Shadow billboards: turn every shadow copy about the vertical (z) axis
// through its centre so that it faces a point light, or so that its normal
// points along the horizontal part of direction. Each call starts from the
// registered geometry. Call while no query runs.
VEK_API void VekIntersection_RotateToFrontPointShadowBillboards(const CG::vec3<float>& position);
VEK_API void VekIntersection_RotateToFrontDirectionShadowBillboards(const CG::vec3<float>& direction);

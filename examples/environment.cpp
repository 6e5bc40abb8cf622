// environment.cpp - registration and preparation of the intersection
// environment, in the order the engine asks for.
#include "environment.h"

namespace example {

EnvironmentInfo PrepareRayEnvironment(const Scene& scene)
{
    EnvironmentInfo info{};
    VekIntersection_Initialize();

    // Every surface, the back sides of two-sided ones included: the engine
    // keeps back sides out of its grid itself, and billboards become a view
    // copy and a shadow copy there.
    for (VekSurface* surface = VekMemory_GetSurfaceList(); surface; surface = surface->next) {
        surface->SetRayNumber();
        VekIntersection_RegisterSurface(surface);
        ++info.registeredSurfaces;
    }
    // Area lights can be hit by camera rays; shadow searches pass over them.
    for (_VekLight* light = VekMemory_GetLightList(); light; light = light->next) {
        if (light->type != VEK_LIGHT_AREA) continue;
        VekAreaLight* panel = static_cast<VekAreaLight*>(light->parameters);
        panel->SetRayNumber();
        VekIntersection_RegisterArealight(panel);
        ++info.registeredAreaLights;
    }

    VekIntersection_PrepareEnvironment();
    VekIntersection_Reset(scene.occluderCacheRows);
    VekMain_GetSceneBoundary(info.bounds);
    return info;
}

}  // namespace example

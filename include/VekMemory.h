// VekMemory.h - the object pools and lists that hold every scene record.
//
// Records come from per-kind pools (in blocks; addresses never move) and are
// appended to per-kind lists in creation order. The lists' heads are the
// host's way to walk the scene. Records live until VekMain_End.
#pragma once

#include "VekTypes.h"

// The pools exist between VekMain_Initialize and VekMain_End only: taking a
// record outside that window raises VEK_ERROR_GENERAL, and the slot lookups
// (VekSurface_GetIndex, ...) answer -1 / null.

// Take a record, append it to its list and count it. Other fields are
// unset; the family's own Instanciate call fills them, so hosts normally
// use those instead.
VEK_API VekSurface* VekMemory_AllocateSurface();
VEK_API VekAttribute* VekMemory_AllocateAttribute();
// Also attaches an uninitialised parameter block for the eight VEK_LIGHT_*
// kinds (none for other codes).
VEK_API _VekLight* VekMemory_AllocateLight(long type);
VEK_API _VekGeneralLightData* VekMemory_AllocateGeneralLightData();
VEK_API _VekMap* VekMemory_AllocateMap();
VEK_API VekBezierSurface* VekMemory_AllocateBezierSurface();

// Heads of the lists (null when empty); follow each record's next.
VEK_API VekSurface* VekMemory_GetSurfaceList();
VEK_API VekAttribute* VekMemory_GetAttributeList();
VEK_API _VekLight* VekMemory_GetLightList();
VEK_API _VekGeneralLightData* VekMemory_GetGeneralLightDataList();
VEK_API _VekMap* VekMemory_GetMapList();

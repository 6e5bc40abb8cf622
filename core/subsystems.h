// subsystems.h - what Initialize and End ask of each subsystem. Each
// subsystem keeps its current state in one record in one file and resets it
// in the one function named here; each releases what it owns outside the
// pools in its own release function.
#pragma once

namespace vek {

// Initialize, after the pools are set up, in this order.
void ResetAttributeState();   // scene/attribute.cpp
void ResetMapFilterState();   // maps/
void ResetSurfaceState();     // scene/
void ResetLightIndex();       // lights/

// End, before the pools are released, in this order.
void EndOpenEnvironment();    // intersection/: an environment the host left open
void ReleaseDisplayImages();  // maps/: attributes' edited display images
void ReleaseMapImages();      // maps/: every map's pixel copy
void ReleaseLightData();      // lights/: parameter blocks, sky arrays, distributions

}  // namespace vek

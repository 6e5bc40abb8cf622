// lifecycle.cpp - start and end of the library's working life, the scene
// boundary, the library heap and the thread-number slot.
#include <cstdlib>
#include <cstring>

#include "VekMain.h"
#include "core/memory.h"
#include "core/platform.h"
#include "core/report.h"
#include "core/subsystems.h"
#include "core/threads.h"

uint32_t g_tlsIndexThreadNo = vek::platform::kNoSlot;

namespace vek {
namespace {

// The view defaults live here because they are part of the value table that
// Initialize resets; the display family interprets them.
void ResetValueTable()
{
    _VekMainValueTable& v = g_mainValueTable;
    static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    v.displayFlags = VEK_DISPLAY_SOLID | VEK_DISPLAY_WIRE | VEK_DISPLAY_CULL | VEK_DISPLAY_TRANSPARENT;
    v.viewportLeft = 0;
    v.viewportTop = 0;
    v.viewportRight = 639;
    v.viewportBottom = 479;
    v.screenWidth = 640;
    v.screenHeight = 480;
    v.screenWindow[0] = -1.0f;
    v.screenWindow[1] = 0.75f;
    v.screenWindow[2] = 1.0f;
    v.screenWindow[3] = -0.75f;
    v.clipNear = 1.0f;
    v.clipFar = 100.0f;
    std::memcpy(v.viewMatrix, kIdentity, sizeof kIdentity);
    std::memcpy(v.inverseViewMatrix, kIdentity, sizeof kIdentity);
    v.reservedPath[0] = '\0';
    v.logFile = nullptr;  // forgotten, not closed: Initialize never closes a file
    v.checkVertexOnOnePlane = 0;
    v.threadCount = 1;
    v.displaySurfaceFlag = 1;
}

void ResetStatusTable()
{
    _VekMainStatusTable& s = g_mainStatusTable;
    s.surfaceCount = s.attributeCount = s.lightCount = s.generalLightDataCount = 0;
    s.reserved = 0;
    s.mapCount = 0;
    s.errorCode = 0;
    s.errorText[0] = '\0';
    s.warningCode = 0;
    s.warningText[0] = '\0';
}

}  // namespace
}  // namespace vek

void VekMain_Initialize()
{
    vek::ResetValueTable();
    vek::ResetStatusTable();
    vek::SetUpPools();
    vek::ResetAttributeState();
    vek::ResetMapFilterState();
    vek::ResetSurfaceState();
    vek::ResetLightIndex();
    g_tlsIndexThreadNo = vek::platform::AllocateSlot();
}

void VekMain_End()
{
    vek::EndOpenEnvironment();
    vek::ReleaseDisplayImages();
    vek::ReleaseMapImages();
    vek::ReleaseLightData();
    vek::ReleasePools();
    if (g_mainValueTable.logFile) {
        std::fclose(g_mainValueTable.logFile);
        g_mainValueTable.logFile = nullptr;
    }
    vek::platform::FreeSlot(g_tlsIndexThreadNo);
    g_tlsIndexThreadNo = vek::platform::kNoSlot;
}

void* VekMain_Malloc(uint32_t size) { return std::malloc(size); }

void VekMain_GetSceneBoundary(float out[6])
{
    if (!out) return;
    const _VekMainStatusTable& s = g_mainStatusTable;
    out[0] = s.sceneMin.x;
    out[1] = s.sceneMax.x;
    out[2] = s.sceneMin.y;
    out[3] = s.sceneMax.y;
    out[4] = s.sceneMin.z;
    out[5] = s.sceneMax.z;
}

void VekMain_SetThreadNumber(long threadNumber)
{
    // A number outside 0..63 would index past every per-thread array.
    if (threadNumber < 0 || threadNumber >= VEK_MAX_THREADS) {
        vek::Warn(VEK_WARNING_INVALID_VALUE, "VekMain_SetThreadNumber");
        return;
    }
    vek::platform::SetSlot(g_tlsIndexThreadNo, reinterpret_cast<void*>(static_cast<intptr_t>(threadNumber)));
}

long VekMain_GetThreadNumber() { return vek::CurrentThreadNumber(); }

// VekMain.h - the library's frame: start and end, error and warning
// reports, the log file, range checks, the version query, the scene boundary
// and the thread-number slot.
//
// Errors are thrown as _VekException and always reach the host; warnings are
// recorded (g_mainStatusTable.warningCode / warningText), logged, and the
// call goes on.
#pragma once

#include "VekTypes.h"

// Starts the library: resets the exported tables, creates the object pools,
// resets every current state and allocates the thread-number slot. Call it
// once before anything else; a second call without VekMain_End empties the
// lists but releases nothing.
VEK_API void VekMain_Initialize();

// Ends the library's work: releases image copies, light data, the pools, the
// log file and the thread-number slot. VekMain_Initialize may follow.
VEK_API void VekMain_End();

// Records code and functionName as the last error, logs them and throws
// _VekException. code must lie in 0..9. functionName may be null (recorded
// as an empty text); a longer name than the exception's 63 characters is cut
// there (errorText keeps up to 255).
[[noreturn]] VEK_API void VekMain_Error(long code, char* functionName);

// Records and logs a warning (code in 0..7) and returns.
VEK_API void VekMain_Warning(long code, char* functionName);

// Closes an open log file, then opens path for writing (truncated). Null or
// "" leaves logging off. Raises VEK_ERROR_FAIL_OPEN_FILE when the file
// cannot be created. Each report then appends "<code name>\t<name>\n".
VEK_API void VekMain_SetLogFilePath(char* path);

VEK_API long VekMain_GetError();
VEK_API char* VekMain_GetErrorString();
VEK_API long VekMain_GetWarning();
VEK_API char* VekMain_GetWarningString();

// malloc from the library's own heap; null on failure. Release with free().
VEK_API void* VekMain_Malloc(uint32_t size);

// Reads the product version "a, b, c, d" from the version resource of a PE
// file (PE32 or PE32+), or from the version record that the library's own
// shared objects carry (libVekMain.so, libVekTool.so, libVekRes.so state the
// project version "MAJOR, MINOR, PATCH, 0"). Each part is read as atoi reads
// it, held to the int range. False, with version untouched, when the file is
// missing or not a regular file, carries no version, is malformed, or its
// version is not exactly four comma-separated parts (a dotted version has
// none). A name without a directory is opened relative to the working
// directory. Never raises anything.
VEK_API bool VekMain_GetVersionInfo(char* fileName, long version[4]);

// out = sceneMin.x, sceneMax.x, sceneMin.y, sceneMax.y, sceneMin.z, sceneMax.z
// (1e38 / -1e38 until an intersection environment is prepared). Null: nothing.
VEK_API void VekMain_GetSceneBoundary(float out[6]);

// Range checks used by every setter: each component below floor is raised
// to it, each above ceil lowered to it, with VEK_WARNING_OUT_OF_RANGE per
// corrected component. Bounds themselves and NaN pass silently; a null
// value does nothing.
VEK_API void VekMain_CheckValueFloorCeil3(float* value, float floor, float ceil, char* functionName);
VEK_API void VekMain_CheckValueFloorCeil1(float* value, float floor, float ceil, char* functionName);
VEK_API void VekMain_CheckValueFloor3(float* value, float floor, char* functionName);
VEK_API void VekMain_CheckValueFloor1(float* value, float floor, char* functionName);

// Stores the calling thread's ray-thread number (0 .. threadCount - 1) in
// the slot that g_tlsIndexThreadNo names. Every thread that casts rays
// calls it once after VekMain_Initialize; a thread that never did reads 0.
VEK_API void VekMain_SetThreadNumber(long threadNumber);

// The calling thread's number as stored by VekMain_SetThreadNumber (0 if none).
VEK_API long VekMain_GetThreadNumber();

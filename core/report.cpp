// report.cpp - error and warning reports, their code tables, the log file
// and the range checks.
#include "core/report.h"

#include <cstring>

#include "VekMain.h"

// sceneMin / sceneMax read "empty" until an environment is prepared, also in
// a process that has not prepared one yet.
_VekMainStatusTable g_mainStatusTable = {
    0, 0, 0, 0, 0, 0, CG::vec3<float>(1e38f, 1e38f, 1e38f), CG::vec3<float>(-1e38f, -1e38f, -1e38f), 0, {}, 0, {}, 0};
_VekMainValueTable g_mainValueTable;

const char* g_errorStringTable[VEK_ERROR_COUNT] = {
    "VEK_ERROR_NONE",          "VEK_ERROR_GENERAL",          "VEK_ERROR_INVALID_VALUE",
    "VEK_ERROR_INVALID_NAME",  "VEK_ERROR_MEMORY",           "VEK_ERROR_FAIL_OPEN_FILE",
    "VEK_ERROR_NO_SURFACE_EXISTS", "VEK_ERROR_RESERVED",     "VEK_ERROR_FAIL_SAVE_FILE",
    "VEK_ERROR_FAIL_LOAD_FILE",
};

const char* g_warningStringTable[VEK_WARNING_COUNT] = {
    "VEK_WARNING_NONE",          "VEK_WARNING_GENERAL",           "VEK_WARNING_OUT_OF_RANGE",
    "VEK_WARNING_INVALID_VALUE", "VEK_WARNING_BAD_SHAPE",         "VEK_WARNING_DUPLICATE_POSITION",
    "VEK_WARNING_FAIL_READ_IMAGE", "VEK_WARNING_FAIL_READ_GENERAL_LIGHT",
};

namespace vek {
namespace {

// A code outside its table would index past the name table; such a code
// is logged under the table's "general" name instead.
const char* CodeName(const char* const* table, int count, long code)
{
    return (code >= 0 && code < count) ? table[code] : table[1];
}

void LogLine(const char* codeName, const char* functionName)
{
    if (g_mainValueTable.logFile)
        std::fprintf(g_mainValueTable.logFile, "%s\t%s\n", codeName, functionName);
}

}  // namespace

void CopyName(char* field, int capacity, const char* text)
{
    if (!text) text = "";
    size_t n = strnlen(text, static_cast<size_t>(capacity - 1));
    // A host may pass the field itself (re-reporting VekMain_GetErrorString()).
    std::memmove(field, text, n);
    field[n] = '\0';
}

void Fail(long code, const char* functionName)
{
    if (!functionName) functionName = "";
    g_mainStatusTable.errorCode = static_cast<int32_t>(code);
    CopyName(g_mainStatusTable.errorText, sizeof g_mainStatusTable.errorText, functionName);
    LogLine(CodeName(g_errorStringTable, VEK_ERROR_COUNT, code), functionName);

    _VekException e;
    e.code = static_cast<int32_t>(code);
    CopyName(e.text, sizeof e.text, functionName);
    throw e;
}

void Warn(long code, const char* functionName)
{
    if (!functionName) functionName = "";
    g_mainStatusTable.warningCode = static_cast<int32_t>(code);
    CopyName(g_mainStatusTable.warningText, sizeof g_mainStatusTable.warningText, functionName);
    LogLine(CodeName(g_warningStringTable, VEK_WARNING_COUNT, code), functionName);
}

// A null value has nothing to check.
void CheckFloorCeil(float* value, int components, float floor, float ceil, const char* functionName)
{
    if (!value) return;
    for (int i = 0; i < components; ++i) {
        if (floor > value[i]) {
            value[i] = floor;
            Warn(VEK_WARNING_OUT_OF_RANGE, functionName);
        }
        if (value[i] > ceil) {
            value[i] = ceil;
            Warn(VEK_WARNING_OUT_OF_RANGE, functionName);
        }
    }
}

void CheckFloor(float* value, int components, float floor, const char* functionName)
{
    if (!value) return;
    for (int i = 0; i < components; ++i) {
        if (floor > value[i]) {
            value[i] = floor;
            Warn(VEK_WARNING_OUT_OF_RANGE, functionName);
        }
    }
}

}  // namespace vek

void VekMain_Error(long code, char* functionName) { vek::Fail(code, functionName); }
void VekMain_Warning(long code, char* functionName) { vek::Warn(code, functionName); }

void VekMain_SetLogFilePath(char* path)
{
    if (g_mainValueTable.logFile) {
        std::fclose(g_mainValueTable.logFile);
        g_mainValueTable.logFile = nullptr;
    }
    if (!path || !*path) return;
    g_mainValueTable.logFile = std::fopen(path, "w");
    if (!g_mainValueTable.logFile) vek::Fail(VEK_ERROR_FAIL_OPEN_FILE, "VekMain_SetLogFilePath");
}

long VekMain_GetError() { return g_mainStatusTable.errorCode; }
char* VekMain_GetErrorString() { return g_mainStatusTable.errorText; }
long VekMain_GetWarning() { return g_mainStatusTable.warningCode; }
char* VekMain_GetWarningString() { return g_mainStatusTable.warningText; }

void VekMain_CheckValueFloorCeil3(float* value, float floor, float ceil, char* functionName)
{
    vek::CheckFloorCeil(value, 3, floor, ceil, functionName);
}
void VekMain_CheckValueFloorCeil1(float* value, float floor, float ceil, char* functionName)
{
    vek::CheckFloorCeil(value, 1, floor, ceil, functionName);
}
void VekMain_CheckValueFloor3(float* value, float floor, char* functionName)
{
    vek::CheckFloor(value, 3, floor, functionName);
}
void VekMain_CheckValueFloor1(float* value, float floor, char* functionName)
{
    vek::CheckFloor(value, 1, floor, functionName);
}

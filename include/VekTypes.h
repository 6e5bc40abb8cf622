// VekTypes.h - the types every family of the VekMain interface shares.
//
// Vectors (CG::vec3), the exception a host catches (_VekException), the
// error and warning codes, and the two exported tables through which a host
// reads the library's counters (g_mainStatusTable) and writes a few settings
// (g_mainValueTable). The record layouts here are part of the binary
// interface: their field order and widths are pinned below with static_assert.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The one export macro. Everything not marked with it stays inside the
// shared object (the library builds with -fvisibility=hidden).
#define VEK_API __attribute__((visibility("default")))

namespace CG {

// Three components: a position, a direction, an RGB colour or map
// coordinates u, v, w. x, y, z are laid out back to back, so operator[]
// addresses them by axis number (0, 1, 2).
template <class T>
struct vec3 {
    T x, y, z;

    vec3() = default;
    constexpr vec3(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}

    T& operator[](int axis) { return (&x)[axis]; }
    const T& operator[](int axis) const { return (&x)[axis]; }

    vec3 operator+(const vec3& o) const { return vec3(x + o.x, y + o.y, z + o.z); }
    vec3 operator-(const vec3& o) const { return vec3(x - o.x, y - o.y, z - o.z); }
    vec3 operator-() const { return vec3(-x, -y, -z); }
    vec3 operator*(T s) const { return vec3(x * s, y * s, z * s); }
    vec3& operator+=(const vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    vec3& operator-=(const vec3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    vec3& operator*=(T s) { x *= s; y *= s; z *= s; return *this; }
    bool operator==(const vec3& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const vec3& o) const { return !(*this == o); }
};

template <class T>
inline T dot(const vec3<T>& a, const vec3<T>& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

template <class T>
inline vec3<T> cross(const vec3<T>& a, const vec3<T>& b)
{
    return vec3<T>(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

}  // namespace CG

static_assert(sizeof(CG::vec3<float>) == 12, "vec3<float> is three packed floats");
static_assert(sizeof(CG::vec3<int>) == 12, "vec3<int> is three packed ints");

// Records of the other families, declared here so that headers can refer to
// them without including each other.
class VekFace;
class VekSurface;
class VekGroup;
struct VekAttribute;
struct _VekMap;
struct _VekLight;
struct _VekGeneralLight;
struct _VekGeneralLightData;
struct VekBezierSurface;
class VekAreaLight;
class stream_interface;
struct HitInfo;

// Error codes: index into g_errorStringTable.
constexpr long VEK_ERROR_NONE = 0;
constexpr long VEK_ERROR_GENERAL = 1;
constexpr long VEK_ERROR_INVALID_VALUE = 2;
constexpr long VEK_ERROR_INVALID_NAME = 3;
constexpr long VEK_ERROR_MEMORY = 4;
constexpr long VEK_ERROR_FAIL_OPEN_FILE = 5;
constexpr long VEK_ERROR_NO_SURFACE_EXISTS = 6;
constexpr long VEK_ERROR_RESERVED = 7;
constexpr long VEK_ERROR_FAIL_SAVE_FILE = 8;
constexpr long VEK_ERROR_FAIL_LOAD_FILE = 9;
constexpr int VEK_ERROR_COUNT = 10;

// Warning codes: index into g_warningStringTable.
constexpr long VEK_WARNING_NONE = 0;
constexpr long VEK_WARNING_GENERAL = 1;
constexpr long VEK_WARNING_OUT_OF_RANGE = 2;
constexpr long VEK_WARNING_INVALID_VALUE = 3;
constexpr long VEK_WARNING_BAD_SHAPE = 4;
constexpr long VEK_WARNING_DUPLICATE_POSITION = 5;
constexpr long VEK_WARNING_FAIL_READ_IMAGE = 6;
constexpr long VEK_WARNING_FAIL_READ_GENERAL_LIGHT = 7;
constexpr int VEK_WARNING_COUNT = 8;

// Thrown by value by VekMain_Error; every error of the library reaches the
// host as one of these. text holds the reporting function's exported name.
struct VEK_API _VekException {
    int32_t code;
    char text[64];
};
static_assert(offsetof(_VekException, code) == 0 && offsetof(_VekException, text) == 4 &&
                  sizeof(_VekException) == 68,
              "_VekException layout is part of the interface");

// The library's counters and its last error and warning. Read it; the
// library writes it.
struct _VekMainStatusTable {
    int32_t surfaceCount;
    int32_t attributeCount;
    int32_t lightCount;
    int32_t generalLightDataCount;
    int32_t reserved;               // always 0
    int32_t mapCount;
    CG::vec3<float> sceneMin;       // +1e38 until the intersection environment is prepared
    CG::vec3<float> sceneMax;       // -1e38 until then
    int32_t errorCode;              // code of the last error
    char errorText[256];            // function name given with the last error
    int32_t warningCode;            // code of the last warning
    char warningText[256];          // function name or message of the last warning
    int32_t bezierSurfaceCount;
};
static_assert(offsetof(_VekMainStatusTable, surfaceCount) == 0, "status table layout");
static_assert(offsetof(_VekMainStatusTable, mapCount) == 20, "status table layout");
static_assert(offsetof(_VekMainStatusTable, sceneMin) == 24, "status table layout");
static_assert(offsetof(_VekMainStatusTable, sceneMax) == 36, "status table layout");
static_assert(offsetof(_VekMainStatusTable, errorCode) == 48, "status table layout");
static_assert(offsetof(_VekMainStatusTable, errorText) == 52, "status table layout");
static_assert(offsetof(_VekMainStatusTable, warningCode) == 308, "status table layout");
static_assert(offsetof(_VekMainStatusTable, warningText) == 312, "status table layout");
static_assert(offsetof(_VekMainStatusTable, bezierSurfaceCount) == 568, "status table layout");

// Drawing mode bits of g_mainValueTable.displayFlags.
constexpr uint32_t VEK_DISPLAY_SOLID = 0x1;
constexpr uint32_t VEK_DISPLAY_WIRE = 0x2;
constexpr uint32_t VEK_DISPLAY_CULL = 0x100;
constexpr uint32_t VEK_DISPLAY_TRANSPARENT = 0x200;
constexpr uint32_t VEK_DISPLAY_TEXTURE = 0x400;
constexpr uint32_t VEK_DISPLAY_BACKFACE = 0x800;
constexpr uint32_t VEK_DISPLAY_LIGHTS = 0x10000;

// Settings. The view state leads (the display family uses it); the host
// writes threadCount and displaySurfaceFlag directly.
struct _VekMainValueTable {
    uint32_t displayFlags;          // VEK_DISPLAY_* bits, 0x303 after Initialize
    int32_t viewportLeft;           // window pixels
    int32_t viewportTop;            // counted downward from the window's top
    int32_t viewportRight;
    int32_t viewportBottom;
    int32_t screenWidth;
    int32_t screenHeight;
    float screenWindow[4];          // projection window: left, top, right, bottom
    float clipNear;
    float clipFar;
    float viewMatrix[16];           // world to eye, OpenGL element order (row r, column c at 4c + r)
    float inverseViewMatrix[16];
    char reservedPath[260];
    FILE* logFile;                  // open log file or null
    int32_t checkVertexOnOnePlane;  // non-zero: quadrilaterals are tested for planarity
    int32_t threadCount;            // ray threads, 1..64; write before faces get their ray marks
    int32_t displaySurfaceFlag;     // surfaces are drawn only while it equals 1
};
static_assert(offsetof(_VekMainValueTable, screenWindow) == 28, "value table layout");
static_assert(offsetof(_VekMainValueTable, clipNear) == 44, "value table layout");
static_assert(offsetof(_VekMainValueTable, viewMatrix) == 52, "value table layout");
static_assert(offsetof(_VekMainValueTable, inverseViewMatrix) == 116, "value table layout");
static_assert(offsetof(_VekMainValueTable, reservedPath) == 180, "value table layout");
static_assert(offsetof(_VekMainValueTable, logFile) == 440, "value table layout");
static_assert(offsetof(_VekMainValueTable, checkVertexOnOnePlane) == 448, "value table layout");
static_assert(offsetof(_VekMainValueTable, threadCount) == 452, "value table layout");
static_assert(offsetof(_VekMainValueTable, displaySurfaceFlag) == 456, "value table layout");

// Upper bound of threadCount: every grid keeps this many per-thread ray counters.
constexpr int VEK_MAX_THREADS = 64;

extern VEK_API _VekMainStatusTable g_mainStatusTable;
extern VEK_API _VekMainValueTable g_mainValueTable;
extern VEK_API const char* g_errorStringTable[VEK_ERROR_COUNT];
extern VEK_API const char* g_warningStringTable[VEK_WARNING_COUNT];
// Index of the thread-local slot in which each ray thread keeps its number
// (see VekMain_SetThreadNumber).
extern VEK_API uint32_t g_tlsIndexThreadNo;

// VekLight.h - lights of eight kinds, photometric distributions read from IES
// LM-63-1991 files or host streams (and, as an addition, from files and
// streams of every IES edition), and the general light's intensity query.
//
// Each creation call checks and derives what it needs, stores the result in
// a parameter block of its kind and appends a _VekLight to the light list
// (VekMemory_GetLightList). Energies are RGB triples floored at 1e-6. The
// returned index is the host's handle: every kind but the sky light takes
// the next value of the current light index (the first light gets 1).
// Reports go under the exported name without "Internal". A null pointer for
// a three-float argument makes nothing: VEK_WARNING_INVALID_VALUE and -1
// (null for the Internal forms). Every light's parameter block, the sky
// lights' arrays and the distributions' arrays are released by VekMain_End.
#pragma once

#include "VekFace.h"

// Light kinds (_VekLight::type).
constexpr int32_t VEK_LIGHT_POINT = 1;
constexpr int32_t VEK_LIGHT_SPOT = 2;
constexpr int32_t VEK_LIGHT_AREA = 4;
constexpr int32_t VEK_LIGHT_LINEAR = 8;
constexpr int32_t VEK_LIGHT_DIRECTIONAL = 16;
constexpr int32_t VEK_LIGHT_SKY = 32;
constexpr int32_t VEK_LIGHT_GENERAL = 64;
constexpr int32_t VEK_LIGHT_SHADE_DIRECTIONAL = 128;

// Type() of an area light's face: non-zero, so that ray queries that only
// want surfaces pass over it.
constexpr int VEK_FACE_TYPE_AREA_LIGHT = 4;

struct _VekLight {
    _VekLight* next;       // light list link
    int32_t type;          // VEK_LIGHT_*
    int32_t index;         // the light's index
    void* parameters;      // the kind's parameter block below
};
static_assert(offsetof(_VekLight, type) == 8 && offsetof(_VekLight, index) == 12 &&
                  offsetof(_VekLight, parameters) == 16 && sizeof(_VekLight) == 24,
              "_VekLight layout");

struct _VekPointLight {
    CG::vec3<float> energy;
    CG::vec3<float> position;
    float rangeMin;        // >= 0
    float rangeMax;        // >= rangeMin
};
static_assert(sizeof(_VekPointLight) == 32, "_VekPointLight layout");

struct _VekSpotLight {
    CG::vec3<float> energy;
    CG::vec3<float> position;
    CG::vec3<float> direction;      // unit length
    float cutoffAngle;              // degrees from the axis, >= halfIntensityAngle
    float cosCutoff;
    float halfIntensityAngle;       // degrees; cos(angle)^falloffExponent = 1/2
    float cosHalfIntensity;
    float falloffExponent;
    float rangeMin;
    float rangeMax;
};
static_assert(offsetof(_VekSpotLight, cutoffAngle) == 36 && offsetof(_VekSpotLight, rangeMax) == 60 &&
                  sizeof(_VekSpotLight) == 64,
              "_VekSpotLight layout");

struct _VekLinearLight {
    CG::vec3<float> energy;
    CG::vec3<float> start;
    CG::vec3<float> end;
    float length;          // |end - start|
    int32_t visible;       // non-zero: the display draws the segment
};
static_assert(offsetof(_VekLinearLight, length) == 36 && sizeof(_VekLinearLight) == 44, "_VekLinearLight layout");

struct _VekDirectionalLight {
    CG::vec3<float> energy;
    CG::vec3<float> direction;      // unit length
};
static_assert(sizeof(_VekDirectionalLight) == 24, "_VekDirectionalLight layout");

struct _VekShadeDirectionalLight {
    CG::vec3<float> energy;
    CG::vec3<float> direction;      // unit length
    CG::vec3<float> shadeVector;    // as passed
    int32_t shadeChecked;           // non-zero: the next two were range checked
    float shadeSize;                // >= 1e-6
    float shadeRatio;               // >= 1e-6; <= 1 when checked
};
static_assert(offsetof(_VekShadeDirectionalLight, shadeChecked) == 36 && sizeof(_VekShadeDirectionalLight) == 48,
              "_VekShadeDirectionalLight layout");

struct _VekSkyLight {
    CG::vec3<float> skyEnergy;            // twice the given energy
    int32_t elevationSteps;               // rings from horizon to zenith
    int32_t azimuthSteps;                 // directions on the horizon ring
    CG::vec3<float>* directions;          // directionCount unit vectors, z up
    CG::vec3<float>* directionEnergies;   // directionCount RGB triples
    int32_t directionCount;
};
static_assert(offsetof(_VekSkyLight, directions) == 24 && offsetof(_VekSkyLight, directionCount) == 40,
              "_VekSkyLight layout");

struct _VekGeneralLight {
    CG::vec3<float> energy;
    CG::vec3<float> position;
    float orientation[16];           // world to photometric frame, see VekTool_TransformDirections
    _VekGeneralLightData* data;      // the distribution; lights may share one
};
static_assert(offsetof(_VekGeneralLight, orientation) == 24 && offsetof(_VekGeneralLight, data) == 88 &&
                  sizeof(_VekGeneralLight) == 96,
              "_VekGeneralLight layout");

// An area light is a face followed by its own values. The library makes it a
// complete face (bounds, plane, main axis; Type() VEK_FACE_TYPE_AREA_LIGHT);
// the host gives it ray marks (SetRayNumber) before registering it.
class VEK_API VekAreaLight : public VekFace {
public:
    VekAreaLight();
    int Type() const override;

    CG::vec3<float> energyDensity;   // energy / area
    float area;
    int32_t visible;                 // non-zero: the display draws the polygon
};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(VekAreaLight, energyDensity) == 120 && offsetof(VekAreaLight, area) == 132 &&
                  offsetof(VekAreaLight, visible) == 136,
              "VekAreaLight layout");
#pragma GCC diagnostic pop

// A photometric distribution: candela over vertical x horizontal angles.
struct _VekGeneralLightData {
    _VekGeneralLightData* next;
    char name[772];               // path or stream name; empty for arrays
    float lumensPerLamp;          // stored, not applied
    float candelaMultiplier;      // stored, not applied
    int32_t verticalCount;
    int32_t horizontalCount;      // may grow by one when the range is closed at 360
    int32_t unitsType;
    float width, length, height;
    float* verticalAngles;        // degrees, strictly increasing
    float* horizontalAngles;      // degrees, strictly increasing
    double* candela;              // horizontal j, vertical i at j * verticalCount + i
    double* verticalSteps;
    double* horizontalSteps;      // only when horizontalCount > 1
    double* coefficients;         // spline second derivatives, or 16 per bicubic cell
};
static_assert(offsetof(_VekGeneralLightData, name) == 8, "_VekGeneralLightData layout");
static_assert(offsetof(_VekGeneralLightData, lumensPerLamp) == 780, "_VekGeneralLightData layout");
static_assert(offsetof(_VekGeneralLightData, width) == 800, "_VekGeneralLightData layout");
static_assert(offsetof(_VekGeneralLightData, verticalAngles) == 816, "_VekGeneralLightData layout");
static_assert(offsetof(_VekGeneralLightData, coefficients) == 856, "_VekGeneralLightData layout");
static_assert(sizeof(_VekGeneralLightData) == 864, "_VekGeneralLightData layout");

// A host's source of photometric text.
class stream_interface {
public:
    virtual ~stream_interface() {}
    // Puts the stream's next character into *buffer (mode is always 0); at
    // the end of its data it must put the byte 0xFF. The result is not used.
    virtual long read(char* buffer, long mode) = 0;
    // The stream's name; valid during the call that asked for it.
    virtual const char* name() = 0;
};

// Sets the current light index; the next light gets index + 1 (past
// INT32_MAX it wraps to INT32_MIN).
VEK_API void VekLight_SetCurrentLightIndex(int32_t index);

// energy, position, direction, start, end, shadeVector point to three floats.
// Energies are stored per component as at least 1e-6 (NaN becomes 1e-6).
// Ranges: both at least 0 (VEK_WARNING_OUT_OF_RANGE); rangeMax given below
// rangeMin takes the stored rangeMin (VEK_WARNING_INVALID_VALUE).
VEK_API int32_t VekLight_InstanciatePointLight(float* energy, float* position, float rangeMin, float rangeMax);
VEK_API _VekLight* VekLight_InstanciatePointLightInternal(float* energy, float* position, float rangeMin,
                                                          float rangeMax);
// Spot: angles in degrees, at least 0; a cut-off below the half-intensity
// angle takes it (VEK_WARNING_INVALID_VALUE). The cosines and the exponent
// come from the stored angles; a half-intensity angle of 0 gives the exponent
// FLT_MAX and one of 90 or more gives 0, each with VEK_WARNING_INVALID_VALUE.
VEK_API int32_t VekLight_InstanciateSpotLight(float* energy, float* position, float* direction, float cutoffAngle,
                                              float halfIntensityAngle, float rangeMin, float rangeMax);
VEK_API _VekLight* VekLight_InstanciateSpotLightInternal(float* energy, float* position, float* direction,
                                                         float cutoffAngle, float halfIntensityAngle,
                                                         float rangeMin, float rangeMax);
// -1 and VEK_WARNING_BAD_SHAPE for a segment shorter than 1e-6 or not finite.
VEK_API int32_t VekLight_InstanciateLinearLight(float* energy, float* start, float* end, int32_t visible);
// corners: vertexCount points of three floats (3 or 4 corners). The block is
// a complete VekAreaLight face (bounds, plane, main axis, flags 0, no ray
// marks). -1 and VEK_WARNING_BAD_SHAPE for another corner count, an area
// below 1e-10 or corners that are not finite: no light is made.
VEK_API int32_t VekLight_InstanciateAreaLight(float* energy, int32_t vertexCount, float* corners, int32_t visible);
VEK_API int32_t VekLight_InstanciateDirectionalLight(float* energy, float* direction);
VEK_API _VekLight* VekLight_InstanciateDirectionalLightInternal(float* energy, float* direction);
VEK_API int32_t VekLight_InstanciateShadeDirectionalLight(float* energy, float* direction, float* shadeVector,
                                                          int32_t shadeChecked, float shadeSize, float shadeRatio);
VEK_API _VekLight* VekLight_InstanciateShadeDirectionalLightInternal(float* energy, float* direction,
                                                                     float* shadeVector, int32_t shadeChecked,
                                                                     float shadeSize, float shadeRatio);
// Negative counts take the defaults 10 and 40 with VEK_WARNING_INVALID_VALUE.
// Every other count is kept while the directions fit the budget of 2^22
// (4,194,304, 48 MiB per array; no count above 2^22 either); beyond it the
// counts above a common ceiling are held to it, the largest ceiling whose
// directions fit, with VEK_WARNING_OUT_OF_RANGE for each count held.
// Returns 0 (sky lights take no index); -1 for a null energy.
// VEK_ERROR_MEMORY when the direction arrays cannot be had.
VEK_API int32_t VekLight_InstanciateSkyLight(float* energy, int32_t elevationSteps, int32_t azimuthSteps);

// General (photometric) lights; orientation is 16 floats. -1 (null for the
// Internal forms) and VEK_WARNING_FAIL_READ_GENERAL_LIGHT when the
// distribution cannot be obtained. Lights made from one path share one
// distribution record; the file is read once.
VEK_API int32_t VekLight_InstanciateGeneralLight(float* energy, float* position, float* orientation,
                                                 float lumensPerLamp, float candelaMultiplier,
                                                 int32_t verticalCount, float* verticalAngles,
                                                 int32_t horizontalCount, float* horizontalAngles, float* candela);
VEK_API _VekLight* VekLight_InstanciateGeneralLightInternal(float* energy, float* position, float* orientation,
                                                            float lumensPerLamp, float candelaMultiplier,
                                                            int32_t verticalCount, float* verticalAngles,
                                                            int32_t horizontalCount, float* horizontalAngles,
                                                            float* candela);
VEK_API int32_t VekLight_InstanciateGeneralLightWithFile(float* energy, float* position, const char* path,
                                                         float* orientation);
VEK_API _VekLight* VekLight_InstanciateGeneralLightWithFileInternal(float* energy, float* position,
                                                                    const char* path, float* orientation);
VEK_API int32_t VekLight_InstanciateGeneralLightWithStream(float* energy, float* position,
                                                           stream_interface* stream, float* orientation);
VEK_API _VekLight* VekLight_InstanciateGeneralLightWithStreamInternal(float* energy, float* position,
                                                                      stream_interface* stream,
                                                                      float* orientation);

// Addition: general lights from photometric files of every IES edition:
// LM-63-1986 (no edition line), 1991 ("IESNA91"), 1995 ("IESNA:LM-63-1995"),
// 2002 ("IESNA:LM-63-2002") and 2019 ("IES:LM-63-2019"), from a path or a
// host stream. The light is made as the array form makes it, and the
// distribution as the 1991 reader makes it: the same numbers give the same
// record bit for bit, candela as tabulated (multiplier and lumens stored,
// not applied). Lights made from one path share one distribution, whichever
// file form read it first; a stream is read each time.
// Read as written: label and keyword lines of any length up to the TILT=
// line, bracketed or not; TILT=NONE, or TILT=INCLUDE whose tilt block is
// skipped (the light is not tilted); numbers separated by white space or
// commas on any line, each a whole token in the C locale's notation; LF, CR
// or CRLF line ends; a UTF-8 byte order mark; a Ctrl-Z that ends the text;
// no final line end. Type C photometry only; a horizontal range from 90 to
// 270 (symmetry about the 90-270 plane) is unfolded to 0 to 360. Counts as
// the array form bounds them; files up to 32 MiB, regular files only.
// Failure: -1 (null for the Internal forms) and
// VEK_WARNING_FAIL_READ_GENERAL_LIGHT with "<function> : <path or stream
// name>", the function being the exported name without Internal. Tilt data
// in another file and photometry of type A or B are named first in
// VEK_WARNING_INVALID_VALUE "<function> : <reason>". The reason of any
// failure: VekLight_GetIesReadMessage.
VEK_API int32_t VekLight_InstanciateGeneralLightWithIesFile(float* energy, float* position, const char* path,
                                                            float* orientation);
VEK_API _VekLight* VekLight_InstanciateGeneralLightWithIesFileInternal(float* energy, float* position,
                                                                       const char* path, float* orientation);
VEK_API int32_t VekLight_InstanciateGeneralLightWithIesStream(float* energy, float* position,
                                                              stream_interface* stream, float* orientation);
VEK_API _VekLight* VekLight_InstanciateGeneralLightWithIesStreamInternal(float* energy, float* position,
                                                                         stream_interface* stream,
                                                                         float* orientation);
// Addition: why the last call of the two forms above failed on this thread,
// "" after a success: the edition, the line and what was expected there, as
// "LM-63-2002, line 14: expected the number of vertical angles from 1 to
// 65536", or what was refused, as "LM-63-2002, line 28: photometric type B is
// not read (only type C)"; a file that cannot be read at all gives the cause
// alone ("no such file"). Valid until the thread's next such call.
VEK_API const char* VekLight_GetIesReadMessage();

// Distributions. Null on any failure (nothing is reported here); a failure
// leaves no record in the list. Counts are at least 1, at most 65536 per
// axis and 1048576 values in all; angles finite and strictly increasing;
// values finite. A horizontal range ending above 180 and below 360 is closed
// at 360 with a copy of its first column.
// candela: verticalCount x horizontalCount values, all vertical values of the
// first horizontal angle first. Both first angles must be exactly 0.
VEK_API _VekGeneralLightData* VekLight_InstanciateGeneralLightData(float lumensPerLamp, float candelaMultiplier,
                                                                   int32_t verticalCount, float* verticalAngles,
                                                                   int32_t horizontalCount,
                                                                   float* horizontalAngles, float* candela);
// Reads an IES LM-63-1991 file ("IESNA91"); the path becomes the record's
// name (cut to 771 characters). Keyword and tilt lines are skipped (tilt data
// are not read); numbers are separated by any white space; a token is read
// by its leading numeric part (none reads as 0). The read fails on early end
// of input, a token over 255 characters, a number that is not finite, counts
// out of bounds, or input beyond 32 MiB.
VEK_API _VekGeneralLightData* VekLight_InstanciateGeneralLightDataWithFile(const char* path);
// Reads IES LM-63-1991 text from a host stream, as the file form does, until
// its end byte 0xFF (the stream is not asked again after it); the stream's
// name becomes the record's name. The result is a _VekGeneralLightData.
VEK_API void* VekLight_InstanciateGeneralLightDataWithStream(stream_interface* stream);

// Intensity of a general light in a world direction (three floats), in the
// distribution's own candela: multiplier, lumens and energy are not applied.
// In the light's frame the vertical angle is measured from +z and the
// horizontal angle is the azimuth of the direction's projection on the xy
// plane, from +x toward +y. Horizontal ranges ending at 90 or 180 degrees
// are mirrored into (quadrant and bilateral symmetry), wherever they start.
// Every finite non-zero direction answers, whatever its length. 0 outside
// the tabulated range and for a zero or non-finite direction; values past
// the float range saturate. Allocates nothing, takes no lock: safe on any
// number of threads.
VEK_API float VekLight_GetGeneralLightEnergy(_VekGeneralLight* light, const float* direction);

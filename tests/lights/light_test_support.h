// light_test_support.h - what the lights tests share: directions from
// photometric angles, host streams over text, files written on the fly, and
// a light made around a distribution and the check that it answers
// finite intensities everywhere.
#pragma once

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/test_support.h"

namespace lighttest {

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

inline std::string OwnIes(const std::string& name) { return std::string(VEK_TEST_DATA_DIR) + "/ies-own/" + name; }

// The unit direction with vertical angle v (from +z) and azimuth h (from +x
// toward +y), in degrees.
struct Direction {
    float d[3];
    Direction(double v, double h)
    {
        const double r = M_PI / 180.0;
        d[0] = static_cast<float>(std::sin(v * r) * std::cos(h * r));
        d[1] = static_cast<float>(std::sin(v * r) * std::sin(h * r));
        d[2] = static_cast<float>(std::cos(v * r));
    }
};

// A general light around a distribution record, in the identity frame
// unless a matrix is given; called with angles or a direction, it answers
// the intensity.
struct LightAround {
    _VekGeneralLight light{};
    explicit LightAround(_VekGeneralLightData* data, const float* orientation = kIdentity)
    {
        std::copy(orientation, orientation + 16, light.orientation);
        light.data = data;
    }
    float operator()(double v, double h) { return VekLight_GetGeneralLightEnergy(&light, Direction(v, h).d); }
    float operator()(const float* direction) { return VekLight_GetGeneralLightEnergy(&light, direction); }
};

// Intensities on a sphere of directions, the poles and the axes included.
inline bool FiniteEverywhere(_VekGeneralLightData* d)
{
    LightAround at(d);
    for (double a = 0; a <= 180; a += 2.5)
        for (double b = 0; b < 360; b += 2.5)
            if (!std::isfinite(at(a, b))) return false;
    const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& axis : axes)
        if (!std::isfinite(at(axis))) return false;
    return true;
}

// A host stream over a text. At its end it sends the end byte 0xFF, or the
// filler for ever when one is set; with throwAfter >= 0 it throws once that
// many characters have been read.
class TextStream : public stream_interface {
public:
    explicit TextStream(std::string text, const char* name = "text stream") : text_(std::move(text)), name_(name) {}

    std::string filler;
    long throwAfter = -1;
    long reads = 0;   // read calls so far

    long read(char* buffer, long) override
    {
        if (throwAfter >= 0 && reads >= throwAfter) throw std::runtime_error("stream broke");
        const size_t k = static_cast<size_t>(reads++);
        if (k < text_.size())
            *buffer = text_[k];
        else
            *buffer = filler.empty() ? static_cast<char>(0xFF) : filler[(k - text_.size()) % filler.size()];
        return 1;
    }
    const char* name() override { return name_; }

private:
    std::string text_;
    const char* name_;
};

inline _VekGeneralLightData* ReadText(const std::string& text)
{
    TextStream stream(text);
    return static_cast<_VekGeneralLightData*>(VekLight_InstanciateGeneralLightDataWithStream(&stream));
}

inline std::string WriteTemp(const std::string& name, const std::string& text)
{
    const std::string path = vektest::TempDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

}  // namespace lighttest

// ies_reader_fuzz.cpp - libFuzzer target for the IES readers. Each input is
// sent through a host stream (its bytes, then the end byte) to the 1991
// reader and to the reader of every edition; whatever reads must answer a
// finite intensity in every direction tried, and the reader of every edition
// must leave an empty message exactly when it made a light, and one naming
// the edition otherwise. Crashes, overruns (under AddressSanitizer), leaks,
// non-finite answers and broken messages are findings.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Vek.h"

namespace {

class BytesStream : public stream_interface {
public:
    BytesStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    long read(char* buffer, long) override
    {
        *buffer = static_cast<char>(next_ < size_ ? data_[next_++] : 0xFF);
        return 1;
    }
    const char* name() override { return "fuzz input"; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t next_ = 0;
};

void Evaluate(_VekGeneralLightData* data)
{
    _VekGeneralLight light{};
    for (int k = 0; k < 16; k += 5) light.orientation[k] = 1.0f;
    light.data = data;
    for (int a = 0; a <= 180; a += 5)
        for (int b = 0; b < 360; b += 7) {
            const double v = a * M_PI / 180, h = b * M_PI / 180;
            const float direction[3] = {static_cast<float>(std::sin(v) * std::cos(h)),
                                        static_cast<float>(std::sin(v) * std::sin(h)), static_cast<float>(std::cos(v))};
            if (!std::isfinite(VekLight_GetGeneralLightEnergy(&light, direction))) __builtin_trap();
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VekMain_Initialize();
    BytesStream stream(data, size);
    if (void* read = VekLight_InstanciateGeneralLightDataWithStream(&stream))
        Evaluate(static_cast<_VekGeneralLightData*>(read));

    float energy[3] = {1, 1, 1}, position[3] = {0, 0, 0};
    float orientation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    BytesStream again(data, size);
    _VekLight* light = VekLight_InstanciateGeneralLightWithIesStreamInternal(energy, position, &again, orientation);
    const char* message = VekLight_GetIesReadMessage();
    if (light) {
        if (*message) __builtin_trap();
        Evaluate(static_cast<_VekGeneralLight*>(light->parameters)->data);
    } else if (std::strncmp(message, "LM-63-", 6) != 0) {
        __builtin_trap();
    }
    VekMain_End();
    return 0;
}

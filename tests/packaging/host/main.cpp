// vek_host - the smallest host of an installed VekMain: it starts the
// library, builds an attribute and a surface, provokes one error to see the
// library's _VekException reach it, reads the counters and ends. It is
// built twice by the packaging test, once through find_package and once
// through pkg-config, and says "ok" when everything it saw was right.
#include <Vek.h>

#include <cstdio>
#include <cstring>

namespace {

int g_failures = 0;

void Expect(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "vek_host: %s\n", what);
        ++g_failures;
    }
}

}  // namespace

int main()
{
    VekMain_Initialize();

    float grey[3] = {0.5f, 0.5f, 0.5f};
    VekAttribute_SetDiffuse(grey);
    VekAttribute_Instanciate(const_cast<char*>("grey"));
    VekSurface_SetAttributeName(const_cast<char*>("grey"));
    float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    VekSurface_Instanciate(3, triangle, nullptr, nullptr);

    // An unknown attribute name is an error: it must arrive here as the
    // library's exception, with the reporting function's name.
    bool caught = false;
    VekSurface_SetAttributeName(const_cast<char*>("no such attribute"));
    try {
        VekSurface_Instanciate(3, triangle, nullptr, nullptr);
    } catch (const _VekException& e) {
        caught = e.code == VEK_ERROR_INVALID_NAME && std::strcmp(e.text, "VekSurface_Instanciate") == 0;
    }
    Expect(caught, "no _VekException with VEK_ERROR_INVALID_NAME from VekSurface_Instanciate");

    Expect(g_mainStatusTable.attributeCount == 1, "attributeCount is not 1");
    Expect(g_mainStatusTable.surfaceCount == 1, "surfaceCount is not 1");
    Expect(g_mainStatusTable.errorCode == VEK_ERROR_INVALID_NAME, "errorCode does not hold the last error");
    Expect(VekSurface_GetAddress(0) != nullptr && VekSurface_GetAddress(0)->normal.z > 0.99f,
           "the surface's normal is not +z");
    VekMain_End();

    if (g_failures == 0) std::printf("vek_host: ok\n");
    return g_failures == 0 ? 0 : 1;
}

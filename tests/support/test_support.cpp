#include "support/test_support.h"

#include <stdlib.h>

namespace vektest {

std::string TempDir()
{
    static std::string dir = [] {
        char pattern[] = "/tmp/vektest-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

}  // namespace vektest

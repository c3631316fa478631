// Includes the installed public header and checks that it belongs to the package found.
#include <korvel/korvel.h>

#include <cstdio>
#include <string_view>

int main() {
    if (std::string_view(korvel::kVersion) != KORVEL_PACKAGE_VERSION) {
        std::fprintf(stderr, "header version %s, package version %s\n", korvel::kVersion,
                     KORVEL_PACKAGE_VERSION);
        return 1;
    }
    std::printf("Korvel %s\n", korvel::kVersion);
    return 0;
}

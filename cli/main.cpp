#include <cstdio>

int main() {
    std::puts("korvel-cli " KORVEL_VERSION);
    return 0;
}

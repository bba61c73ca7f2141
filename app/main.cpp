// discolo: until the player window is built, the program only says so.
#include <cstdio>

int main() {
    std::puts("Discolo 1.0.12.0: the player window is not built yet.");
    return 0;
}

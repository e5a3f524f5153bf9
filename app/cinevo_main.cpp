// Cinevo + start-up. Until the application's windows exist this only reports its version.
#include <cstdio>

int main() {
  std::printf("Cinevo + 0.1 - the movie catalogue is under construction; see README.md.\n");
  return 0;
}

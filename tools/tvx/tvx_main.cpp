// tvx: inspect, check, rebuild and query the native data files; evaluate filter expressions.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::printf("usage: tvx COMMAND [ARGS]\n");
    return argc < 2 ? 2 : 0;
  }
  std::fprintf(stderr, "tvx: unknown command '%s'\n", argv[1]);
  return 2;
}

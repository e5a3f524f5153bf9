// Test support for the tvx commands: runs a command function with its standard output and
// standard error captured in memory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace cinevo::tvx {

using CommandFunction = int (*)(int, char**, std::FILE*, std::FILE*);

inline int Invoke(CommandFunction command, std::vector<std::string> args, std::string& out,
                  std::string& err) {
  char* obuf = nullptr;
  char* ebuf = nullptr;
  size_t osize = 0, esize = 0;
  std::FILE* o = open_memstream(&obuf, &osize);
  std::FILE* e = open_memstream(&ebuf, &esize);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  int status = command(static_cast<int>(argv.size()), argv.data(), o, e);
  std::fclose(o);
  std::fclose(e);
  out.assign(obuf, osize);
  err.assign(ebuf, esize);
  std::free(obuf);
  std::free(ebuf);
  return status;
}

}  // namespace cinevo::tvx

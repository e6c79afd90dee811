// main() of the VST 3 test programs: gtest's own options first, then the
// paths of what the program loads, in the order the usage names them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

inline int RunWithPaths(int argc, char** argv, const char* usage, std::initializer_list<std::string*> paths) {
  testing::InitGoogleTest(&argc, argv);
  if (argc <= static_cast<int>(paths.size())) {
    std::fprintf(stderr, "usage: %s %s\n", argv[0], usage);
    return 2;
  }
  int i = 1;
  for (std::string* path : paths) *path = argv[i++];
  return RUN_ALL_TESTS();
}

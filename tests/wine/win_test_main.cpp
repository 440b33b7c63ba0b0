// Test entry for Windows binaries: binary-mode output, so that the test list and results that
// ctest reads under Wine carry plain "\n" line ends.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

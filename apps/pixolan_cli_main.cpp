#include <iostream>

#include "cli/CliMain.h"

int main(int argc, char** argv) {
  return pixolan::cli::RunCli(argc, argv, std::cout, std::cerr);
}

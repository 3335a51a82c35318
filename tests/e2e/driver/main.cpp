// Dispatch of the driver's subcommands; "help" lists them with their arguments.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "tests/e2e/driver/driver.h"

namespace {

std::span<const DriverCommand> (*const kGroups[])() = {
    WindowCommands, ProcessCommands, MenuCommands, DialogCommands, ShellCommands, InputCommands, FakeMainCommands,
    PlayerCommands, GifCommands,
};

void PrintHelp() {
  std::printf("usage: frimbola-e2e-driver COMMAND [ARGUMENTS]\n\n");
  for (auto group : kGroups) {
    for (const DriverCommand& command : group()) std::printf("  %s %s\n", command.name, command.usage);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Plain "\n" line ends and untouched UTF-8 bytes for the shell.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (argc < 2 || std::strcmp(argv[1], "help") == 0) {
    PrintHelp();
    return argc < 2 ? 2 : 0;
  }
  for (auto group : kGroups) {
    for (const DriverCommand& command : group()) {
      if (std::strcmp(command.name, argv[1]) == 0) return command.run(argc - 2, argv + 2);
    }
  }
  Fail("unknown command \"%s\" (\"help\" lists them)", argv[1]);
  return 2;
}

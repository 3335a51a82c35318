// Starting the program with an exact command line. `wine program.exe ARGS` quotes and
// escapes each argument on its own, so a scenario could not give the program a text
// such as "-define=C:\folder" in its own double quotes; the driver builds the command
// line itself and stays to report the exit code.
#include <cstring>
#include <string>

#include "tests/e2e/driver/driver.h"

namespace {

int Run(int argc, char** argv) {
  const char* log = nullptr;
  DWORD ms = 120000;
  int i = 0;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) log = argv[++i];
    else if (std::strcmp(argv[i], "--ms") == 0 && i + 1 < argc) ms = ParseMs(argc, argv, ++i, ms);
    else return Fail("unknown option \"%s\"", argv[i]);
  }
  if (i >= argc) return Fail("run needs a program");
  std::string commandLine = std::string("\"") + argv[i] + "\"";
  if (i + 1 < argc) commandLine += std::string(" ") + argv[i + 1];

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  HANDLE logFile = INVALID_HANDLE_VALUE;
  if (log) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    logFile = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (logFile == INVALID_HANDLE_VALUE) return Fail("cannot open the log \"%s\" (%lu)", log, GetLastError());
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = logFile;
    startup.hStdError = logFile;
  }
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, log != nullptr, 0, nullptr, nullptr,
                                &startup, &process);
  if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
  if (!started) return Fail("cannot start %s (%lu)", Utf8FromAnsi(commandLine.c_str()).c_str(), GetLastError());
  CloseHandle(process.hThread);
  PrintFormat("pid\t%lu\n", process.dwProcessId);
  int result = 0;
  if (WaitForSingleObject(process.hProcess, ms) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 255);
    result = Fail("the program was still running after %lu ms and was ended", ms);
  } else {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    PrintFormat("exit\t%lu\n", code);
  }
  CloseHandle(process.hProcess);
  return result;
}

// The command line as the driver received it, for checking how a text survives the shell and Wine.
int Echo(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) PrintLine(Utf8FromAnsi(argv[i]));
  return 0;
}

const DriverCommand kCommands[] = {
    {"run", "[--log FILE] [--ms MS] PROGRAM [COMMAND-LINE-TAIL]   runs \"PROGRAM\" TAIL, prints \"pid<TAB>N\" and "
            "\"exit<TAB>CODE\"; ends it after MS (120000)", Run},
    {"echo", "ARG...   prints each argument as the driver received it", Echo},
};

}  // namespace

std::span<const DriverCommand> ProcessCommands() { return kCommands; }

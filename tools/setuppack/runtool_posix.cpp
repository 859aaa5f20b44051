#include "tools/setuppack/signing.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace setuppack {

int RunTool(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return -1;
    // A program that was not found is reported by the child as 127.
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace setuppack

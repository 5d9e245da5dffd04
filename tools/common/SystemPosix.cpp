#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tools/common/System.h"

extern char** environ;

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool StderrIsTerminal() {
    return isatty(2) != 0;
}

bool RunGnuplot(const std::string& script, std::string* error) {
    const char* argv[] = {"gnuplot", script.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "gnuplot", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        *error = "gnuplot cannot be started (install gnuplot-nox)";
        return false;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = "gnuplot failed";
        return false;
    }
    return true;
}

std::string PathForGnuplot(const std::string& path) {
    return path;
}

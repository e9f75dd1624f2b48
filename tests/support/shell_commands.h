#pragma once
// Temporary directories and shell commands, for the native tests that run
// programs (kivra-dump, the MP4 writers, ffprobe).

// They go through a POSIX shell: native builds only.
#ifndef _WIN32

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// s quoted for a POSIX shell.
inline std::string ShellQuote(const std::string &s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// A fresh directory under /tmp, removed with everything in it when the
// object goes; path() is "" when it could not be made.
class TempDirectory {
public:
    explicit TempDirectory(const std::string &prefix = "kivra-test")
    {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        path_ = mkdtemp(&pattern[0]) ? pattern : "";
    }
    ~TempDirectory()
    {
        if (!path_.empty())
            (void)system(("rm -rf " + ShellQuote(path_)).c_str());
    }
    TempDirectory(const TempDirectory &) = delete;
    TempDirectory &operator=(const TempDirectory &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// What command, run by the shell, writes on its standard output; *status
// (when given) its exit code, -1 when it did not exit or could not start.
inline std::string CommandOutput(const std::string &command, int *status = 0)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == 0) {
        if (status != 0)
            *status = -1;
        return out;
    }
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        out.append(chunk, got);
    int code = pclose(pipe);
    if (status != 0)
        *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
    return out;
}

#endif

#pragma once
// Files written at test time by the MP4 writers on this host (ffmpeg,
// heif-enc), for the field and reference tests: made in a temporary
// directory that goes with the object.

#include "tests/support/shell_commands.h"
#include "tests/support/test_files.h"

// They run the writers through a POSIX shell: native builds only.
#ifndef _WIN32

#include <stdio.h>
#include <stdlib.h>
#include <string>

class WrittenFiles {
public:
    WrittenFiles() : dir_("kivra-fields-test") {}
    WrittenFiles(const WrittenFiles &) = delete;
    WrittenFiles &operator=(const WrittenFiles &) = delete;

    static bool HasProgram(const char *name)
    {
        return system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
    }
    const std::string &dir() const { return dir_.path(); }

    // ffmpeg with a second of 64x48 test video at 10 frames a second and a
    // sine tone (or the tone alone with "-vn" in arguments); "" on failure.
    std::string Ffmpeg(const std::string &name, const std::string &arguments) const
    {
        std::string out = dir() + "/" + name;
        std::string inputs = arguments.find("-vn") != std::string::npos
            ? "-f lavfi -i sine=frequency=440:duration=1"
            : "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi -i "
              "sine=frequency=440:duration=1";
        std::string command = "ffmpeg -v error -y " + inputs + " " + arguments + " '" + out + "'";
        return system(command.c_str()) == 0 ? out : "";
    }

    // Runs command (which writes the file name given) and returns its path.
    std::string Run(const std::string &name, const std::string &command) const
    {
        std::string out = dir() + "/" + name;
        std::string line = command;
        size_t at;
        while ((at = line.find("{out}")) != std::string::npos)
            line.replace(at, 5, "'" + out + "'");
        while ((at = line.find("{dir}")) != std::string::npos)
            line.replace(at, 5, "'" + dir() + "'");
        return system((line + " >/dev/null 2>&1").c_str()) == 0 ? out : "";
    }

private:
    TempDirectory dir_;
};

#endif

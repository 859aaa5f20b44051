#include "unzip/unziprun.h"

#include <algorithm>
#include <new>
#include <vector>

namespace orvik::unzip {
namespace {

struct Command {
    bool list = false;
    int quiet = 0;
    std::string archive;
    std::vector<std::string> patterns;
    std::string directory;
};

std::string WithForwardSlashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

// False (after a message) on an option the engine does not know.
bool ParseCommand(int argc, const char* const* argv, Command& command, Messages& messages) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = WithForwardSlashes(argv[i] ? argv[i] : "");
        if (arg.size() < 2 || arg[0] != '-') {
            if (command.archive.empty())
                command.archive = arg;
            else
                command.patterns.push_back(arg);
            continue;
        }
        for (size_t k = 1; k < arg.size(); ++k) {
            char option = arg[k];
            if (option == 'v') {
                command.list = true;
            } else if (option == 'q') {
                ++command.quiet;
            } else if (option == 'o') {
                // Existing files are always overwritten.
            } else if (option == 'd') {
                if (k + 1 < arg.size())
                    command.directory = arg.substr(k + 1);
                else if (i + 1 < argc)
                    command.directory = WithForwardSlashes(argv[++i] ? argv[i] : "");
                else {
                    messages.Err("error:  must specify directory to which to extract with -d option\n");
                    return false;
                }
                break;
            } else {
                messages.Err("error:  unknown option -%c\n", option);
                return false;
            }
        }
    }
    if (command.archive.empty()) {
        messages.Err("usage:  unzip [-v] [-q[q]] archive[.zip] [names...] [-d directory]\n");
        return false;
    }
    return true;
}

int Run(int argc, const char* const* argv, Listing* listing, const RunEnvironment& environment,
        Messages& messages) {
    Command command;
    if (!ParseCommand(argc, argv, command, messages))
        return kUsage;
    ZipArchive archive(messages);
    int code = archive.Open(command.archive, command.quiet);
    if (!archive.IsUsable())
        return code;
    if (command.list) {
        Listing local;
        return archive.List(command.patterns, listing ? *listing : local);
    }
    ExtractOptions options;
    options.quiet = command.quiet;
    options.confirmVmsMember = environment.confirmVmsMember;
    return archive.Extract(command.patterns, false, command.directory, options).code;
}

} // namespace

int UnzipRun(int argc, const char* const* argv, Listing* listing, const RunEnvironment& environment) {
    Messages standardStreams;
    Messages& messages = environment.messages ? *environment.messages : standardStreams;
    try {
        return Run(argc, argv, listing, environment, messages);
    } catch (const std::bad_alloc&) {
        messages.Err("error:  not enough memory\n");
        return kNoBuffers;
    } catch (...) {
        messages.Err("error:  zipfile probably corrupt\n");
        return kStructureError;
    }
}

} // namespace orvik::unzip

#include "ArchiveTool/ToolCommandLine.h"

namespace {

struct CommandShape {
    const char* word;
    ToolCommand command;
    size_t operands;
    bool more = false;  // and any number after them
};

constexpr CommandShape kCommands[] = {
    {"list", ToolCommand::List, 1},           {"cat", ToolCommand::Cat, 2},
    {"extract", ToolCommand::Extract, 2},     {"verify", ToolCommand::Verify, 1},
    {"search", ToolCommand::Search, 2, true},
};

ToolInvocation Only(ToolCommand command) {
    ToolInvocation invocation;
    invocation.Command = command;
    return invocation;
}

ToolInvocation Invalid(std::string error) {
    ToolInvocation invocation;
    invocation.Error = std::move(error);
    return invocation;
}

}  // namespace

ToolInvocation ParseToolCommandLine(const std::vector<std::string>& arguments) {
    std::vector<std::string> operands;
    bool overwrite = false;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            operands.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help") {
            return Only(ToolCommand::Help);
        } else if (argument == "--version") {
            return Only(ToolCommand::Version);
        } else if (argument == "--overwrite") {
            overwrite = true;
        } else {
            return Invalid("unknown option " + argument);
        }
    }
    if (operands.empty()) return Invalid("no command given");

    for (const CommandShape& shape : kCommands) {
        if (operands[0] != shape.word) continue;
        const size_t given = operands.size() - 1;
        if (given < shape.operands || (given > shape.operands && !shape.more)) {
            return Invalid(std::string(shape.word) + " takes " + (shape.more ? "at least " : "") +
                           std::to_string(shape.operands) +
                           (shape.operands == 1 ? " operand" : " operands"));
        }
        if (overwrite && shape.command != ToolCommand::Extract) {
            return Invalid("--overwrite is an option of extract only");
        }
        ToolInvocation invocation = Only(shape.command);
        invocation.Archive = operands[1];
        if (shape.command == ToolCommand::Cat) invocation.Name = operands[2];
        if (shape.command == ToolCommand::Extract) invocation.Folder = operands[2];
        for (size_t i = 2; shape.command == ToolCommand::Search && i < operands.size(); ++i) {
            if (i > 2) invocation.Words += ' ';
            invocation.Words += operands[i];
        }
        invocation.Overwrite = overwrite;
        return invocation;
    }
    return Invalid("unknown command " + operands[0]);
}

const char* ToolUsage() {
    return "usage: pelorine-archive list ARCHIVE\n"
           "       pelorine-archive cat ARCHIVE NAME\n"
           "       pelorine-archive extract [--overwrite] ARCHIVE FOLDER\n"
           "       pelorine-archive verify ARCHIVE\n"
           "       pelorine-archive search ARCHIVE WORDS...\n"
           "       pelorine-archive --help | --version\n"
           "\n"
           "  list     one line per entry: unpacked size, stored size, lzo or raw, name\n"
           "  cat      the content of the entry NAME resolves to, as the server resolves it\n"
           "  extract  every entry written below FOLDER, never outside it; an existing\n"
           "           file is left alone unless --overwrite is given\n"
           "  verify   checks the whole archive and reports each problem\n"
           "  search   the pages that hold every one of WORDS, best first: name and title\n"
           "           (the index is kept in the user's cache folder for the next search)\n"
           "\n"
           "Exit status: 0 success, 1 something wrong with the archive or an entry\n"
           "(one line per problem on standard error), 2 usage error.\n"
           "See also: man pelorine-archive\n";
}

#pragma once
// Helpers of the simulation-run and korvel-cli tests: CR LF lines, a film model and
// running the built korvel-cli with its output captured.

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace korvel::testing {

// Lines of a file written with CR LF line ends; the CR LF are removed.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A one-film model in delta and beta: a 200 A film on a substrate, Cu K-alpha.
inline std::string FilmModel(double wavelength = 1.5406) {
    std::ostringstream text;
    text << wavelength << " 0 0.005 0.05 0 0\n"
         << "1 0 0 0\n"
         << "200 2.0e-5 1.0e-6 4\n"
         << "0 7.6e-6 1.7e-7 3\n";
    return text.str();
}

struct CliResult {
    int ExitCode = -1;
    std::string Stdout;
    std::string Stderr;
};

inline std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// Runs korvel-cli with `arguments` in `workingFolder`; stdout and stderr are captured.
inline CliResult RunCli(const std::vector<std::string>& arguments, const fs::path& workingFolder) {
    static std::atomic<int> counter{0};
    const fs::path capture =
        fs::temp_directory_path() /
        ("korvel-cli-out-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::string command = "cd " + Quoted(workingFolder.string()) + " && " + Quoted(KORVEL_CLI_PATH);
    for (const auto& argument : arguments) command += " " + Quoted(argument);
    command += " >" + Quoted(capture.string() + ".out") + " 2>" + Quoted(capture.string() + ".err");
    const int status = std::system(command.c_str());
    CliResult result;
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Stdout = ReadText(capture.string() + ".out");
    result.Stderr = ReadText(capture.string() + ".err");
    fs::remove(capture.string() + ".out");
    fs::remove(capture.string() + ".err");
    return result;
}

}  // namespace korvel::testing

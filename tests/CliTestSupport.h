#pragma once
// Helpers of the simulation-run and korvel-cli tests: a scratch folder per test,
// small file helpers and running the built korvel-cli with its output captured.

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace korvel::testing {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
        path_ = fs::temp_directory_path() /
                ("korvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

inline void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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

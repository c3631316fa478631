#pragma once
// Helpers of the simulation-run and korvel-cli tests: CR LF lines, a film model,
// running the built korvel-cli with its output captured, or in the background to be
// signalled, and the program's leftover files in a folder.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"

extern char** environ;

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

// The bundled demo fit (demo.inp, demo.dat, au-film-start.mdl, au-film.lmt) in `folder`.
inline void CopyDemo(const fs::path& folder) {
    const std::string demo = std::string(KORVEL_SOURCE_DIR) + "/examples/demo/";
    for (const char* name : {"demo.inp", "demo.dat", "au-film-start.mdl", "au-film.lmt"})
        fs::copy_file(demo + name, folder / name);
}

// The demo's data (degrees, R, dR) as a commented column file in `folder`: Qz [1/A] at
// the demo's 1.5406 A, R, dR and a resolution dQ = `relative` * Qz (sigma).
inline void WriteDemoAsQzColumns(const fs::path& folder, const std::string& name,
                                 double relative) {
    std::istringstream data(ReadText(folder / "demo.dat"));
    std::ostringstream columns;
    columns.precision(17);
    columns << "# the demo's data in Qz\n# Qz [1/A]  R  dR  dQ\n";
    double angle, r, dr;
    while (data >> angle >> r >> dr) {
        const double qz = 4.0 * 3.141592653589793 * std::sin(angle * 3.141592653589793 / 180.0) /
                          1.5406;
        columns << qz << " " << r << " " << dr << " " << relative * qz << "\n";
    }
    WriteText(folder / name, columns.str());
}

// A fit that only a signal ends in time: long.inp fits 30 films with free thickness
// and roughness (60 free parameters) to the 20,000 points of long.dat by the Parratt
// recursion, with a tolerance no simplex can reach (negative). Each evaluation takes
// milliseconds and the local runs thousands of them, so the search lasts far longer
// than any test waits. Its results are ml.bst, ml.pct (kLongFitPoints lines) and ml.loc.
inline constexpr std::size_t kLongFitPoints = 20000;
inline void WriteEndlessFit(const fs::path& folder) {
    std::string model = "1.5406 0.0004 0.006 0.05 0 0\n30 0 0 0\n";
    std::string limits;
    for (int layer = 1; layer <= 30; ++layer) {
        model += std::to_string(20 + layer % 7) + " 1e-5 1e-7 3\n";
        limits += "10 40 10\n0 0 0\n0 0 0\n1 5 10\n";
    }
    model += "0 7.6e-6 1.7e-7 3\n";
    limits += "0 0 0\n0 0 0\n0 0 0\n0 0 0\n";
    WriteText(folder / "ml.mdl", model);
    WriteText(folder / "ml.lmt", limits);
    std::string data;
    for (std::size_t i = 1; i <= kLongFitPoints; ++i)
        data += std::to_string(0.05 + 4.0 * static_cast<double>(i) / kLongFitPoints) +
                " 1e-3 1e-5\n";
    WriteText(folder / "long.dat", data);
    WriteText(folder / "long.inp", "long.dat\nF\nN\nY\nml.mdl\nml.lmt\n-1\n65000\n0\nP\n");
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

// How RunCli starts the program, beyond its arguments.
struct CliLaunch {
    std::string ShellPrefix;  // run first, in the same shell: "ulimit -f 1; ", "timeout 60 "
    std::string Stdout;       // where standard output goes instead of being captured
};

// Runs korvel-cli with `arguments` in `workingFolder`; stdout and stderr are captured.
inline CliResult RunCli(const std::vector<std::string>& arguments, const fs::path& workingFolder,
                        const CliLaunch& launch = {}) {
    static std::atomic<int> counter{0};
    const fs::path capture =
        fs::temp_directory_path() /
        ("korvel-cli-out-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::string command = "cd " + Quoted(workingFolder.string()) + " && " + launch.ShellPrefix +
                          Quoted(KORVEL_CLI_PATH);
    for (const auto& argument : arguments) command += " " + Quoted(argument);
    command += " >" + Quoted(launch.Stdout.empty() ? capture.string() + ".out" : launch.Stdout) +
               " 2>" + Quoted(capture.string() + ".err");
    const int status = std::system(command.c_str());
    CliResult result;
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Stdout = ReadText(capture.string() + ".out");
    result.Stderr = ReadText(capture.string() + ".err");
    fs::remove(capture.string() + ".out");
    fs::remove(capture.string() + ".err");
    return result;
}

// korvel-cli running in the background in `workingFolder`, for tests that signal it.
// Standard error goes to a file of its own; standard output to one as well, or to
// `stdoutFd` when given. A program still running at the end is killed.
class BackgroundCli {
  public:
    BackgroundCli(const std::vector<std::string>& arguments, const fs::path& workingFolder,
                  int stdoutFd = -1) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (stdoutFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
        else
            posix_spawn_file_actions_addopen(&actions, 1, output_.Path("stdout").c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, output_.Path("stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
        std::vector<std::string> all = {KORVEL_CLI_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        spawned_ =
            posix_spawn(&pid_, KORVEL_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~BackgroundCli() {
        if (spawned_ && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    BackgroundCli(const BackgroundCli&) = delete;
    BackgroundCli& operator=(const BackgroundCli&) = delete;

    bool Started() const { return spawned_; }
    std::string Stdout() const { return output_.Read("stdout"); }
    std::string Stderr() const { return output_.Read("stderr"); }
    void Signal(int signal) const { ::kill(pid_, signal); }

    // Waits until `ready` holds; false after `seconds`.
    template <typename Condition>
    bool WaitUntil(Condition ready, int seconds = 60) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!ready()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    // The wait status once the program has ended; it is killed after `seconds`, and
    // then -1 is returned.
    int Wait(int seconds = 60) {
        int status = 0;
        const bool ended =
            WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) != 0; }, seconds);
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        ended_ = true;
        return ended ? status : -1;
    }

  private:
    TempFolder output_;
    pid_t pid_ = 0;
    bool spawned_ = false;
    bool ended_ = false;
};

// Names in `folder` of the program's temporary files ("korvel-*.tmp") and lock files.
inline std::vector<std::string> LeftoverFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("korvel-", 0) == 0) names.push_back(name);
    }
    return names;
}

}  // namespace korvel::testing

#pragma once
// Shared by the tests: a fresh temporary folder per test, removed with everything in
// it, whole files written and read byte for byte, the RunError a call throws, and a
// writer that feeds a named pipe.

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "base/RunError.h"

namespace korvel::testing {

namespace fs = std::filesystem;

// Writes `text` byte for byte, creating the folders on the way.
inline void WriteText(const fs::path& path, const std::string& text) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The whole file; empty when it cannot be read.
inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What `action` throws as a RunError: "message | where", or "" when it throws none.
template <typename Action>
std::string RunErrorOf(Action&& action) {
    try {
        action();
    } catch (const RunError& e) {
        return e.Message() + " | " + e.Where();
    }
    return "";
}

class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = fs::temp_directory_path() /
                ("korvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& Root() const { return path_; }
    const fs::path& Path() const { return path_; }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    std::string operator/(const std::string& name) const { return Path(name); }

    // Writes `content` byte for byte and returns the file's path.
    std::string Write(const std::string& name, const std::string& content) const {
        WriteText(path_ / name, content);
        return Path(name);
    }
    std::string Read(const std::string& name) const { return ReadText(path_ / name); }

  private:
    fs::path path_;
};

// Writes `text` into the named pipe `path` once a reader has opened it; gives up after
// a minute so a test never hangs on a program that does not read.
class PipeWriter {
  public:
    PipeWriter(const std::string& path, std::string text)
        : thread_([path, text = std::move(text)] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
              int fd = -1;
              while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 &&
                     std::chrono::steady_clock::now() < deadline)
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              if (fd < 0) return;
              ::fcntl(fd, F_SETFL, 0);
              (void)!::write(fd, text.data(), text.size());
              ::close(fd);
          }) {}
    ~PipeWriter() { thread_.join(); }
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;

  private:
    std::thread thread_;
};

}  // namespace korvel::testing

// Environment shared by the test mains.
//
// Every test process gets a runtime folder of its own: CTest runs test
// processes side by side, and single-instance locks and the window control
// endpoint live in that folder. Sharing it let one test's window answer, or
// reclaim, another test's endpoint. Programs that a test starts inherit the
// folder, so a test can still make two of its own programs meet there.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace orva::test {

class TestEnvironment {
 public:
  TestEnvironment() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string pattern = (std::filesystem::temp_directory_path() / "orva-test-runtime-XXXXXX").string();
    if (mkdtemp(pattern.data())) {
      runtime_ = pattern;
      setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    }
  }
  ~TestEnvironment() {
    std::error_code ignored;
    if (!runtime_.empty()) std::filesystem::remove_all(runtime_, ignored);
  }
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

 private:
  std::string runtime_;
};

}  // namespace orva::test

#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// A fresh temporary directory that is the working directory for the life of the
// object; the old working directory comes back and the directory is removed after.
class scratch_directory {
 public:
  scratch_directory();
  ~scratch_directory();
  scratch_directory(const scratch_directory&) = delete;
  scratch_directory& operator=(const scratch_directory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

void write_file(const std::string& name, std::string_view bytes);
std::string read_file(const std::string& name);

}  // namespace testing_support

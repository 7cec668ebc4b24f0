#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents when the test ends.

#include <string>

namespace velrix::testing {

class TempFolder {
 public:
  TempFolder();
  // Below `base` instead (a memory file system such as /dev/shm, where a
  // test that syncs tens of thousands of times costs no disk time).
  explicit TempFolder(const std::string& base);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // The folder with a trailing '/', the form the program folder takes.
  std::string slash() const { return path_ + "/"; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole-file helpers for byte-for-byte checks.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

}  // namespace velrix::testing

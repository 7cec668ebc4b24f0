// The program's version strings, compiled into an ELF note of its own file
// (owner "VersionInfo", type 1) where launcher/platform/own_version.h reads
// them back and `readelf -n` shows them. The build names the description and
// the internal name of each program that carries this file.

#include <cstdint>

#if !defined(LAUNCHER_FILE_DESCRIPTION) || !defined(LAUNCHER_INTERNAL_NAME)
#error "the build gives LAUNCHER_FILE_DESCRIPTION and LAUNCHER_INTERNAL_NAME"
#endif

#define LAUNCHER_VERSION_STRINGS                                              \
  "FileDescription\0" LAUNCHER_FILE_DESCRIPTION "\0" "InternalName\0" LAUNCHER_INTERNAL_NAME \
  "\0" "OriginalFilename\0" LAUNCHER_INTERNAL_NAME "\0"

namespace {

constexpr char kOwner[] = "VersionInfo";

struct VersionNote {
  std::uint32_t ownerSize;
  std::uint32_t contentsSize;
  std::uint32_t type;
  char owner[(sizeof kOwner + 3) / 4 * 4];
  char contents[(sizeof LAUNCHER_VERSION_STRINGS + 3) / 4 * 4];
};

// Kept although nothing refers to it; a note section so the linker puts it
// in the program's note segment, which is loaded with the program.
__attribute__((used, section(".note.velrix.version"), aligned(4)))
const VersionNote kVersionNote = {sizeof kOwner, sizeof LAUNCHER_VERSION_STRINGS, 1, "VersionInfo",
                                  LAUNCHER_VERSION_STRINGS};

}  // namespace

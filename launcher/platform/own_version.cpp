#include "launcher/platform/own_version.h"

#include <link.h>

#include <cstdint>
#include <cstring>

namespace velrix::launcher {

namespace {

constexpr size_t kNoteHeaderBytes = 12;  // name size, contents size, type

size_t Aligned4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

std::uint32_t Word(const char* p) {
  std::uint32_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// Walks the notes of one loaded segment.
bool FindVersionNote(const char* notes, size_t size, std::string* data) {
  const size_t ownerSize = sizeof kVersionNoteOwner;  // with its NUL, as notes store it
  size_t offset = 0;
  while (offset + kNoteHeaderBytes <= size) {
    const std::uint32_t nameSize = Word(notes + offset);
    const std::uint32_t descSize = Word(notes + offset + 4);
    const std::uint32_t type = Word(notes + offset + 8);
    const size_t name = offset + kNoteHeaderBytes;
    const size_t desc = name + Aligned4(nameSize);
    if (desc + descSize > size) return false;
    if (type == kVersionNoteType && nameSize == ownerSize &&
        std::memcmp(notes + name, kVersionNoteOwner, ownerSize) == 0) {
      data->assign(notes + desc, descSize);
      return true;
    }
    offset = desc + Aligned4(descSize);
  }
  return false;
}

// Only the program itself is looked at, never the libraries it loaded: the
// program is the first object reported.
int LookInProgram(dl_phdr_info* info, size_t, void* data) {
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_NOTE) continue;
    const char* notes = reinterpret_cast<const char*>(info->dlpi_addr + segment.p_vaddr);
    if (FindVersionNote(notes, segment.p_memsz, static_cast<std::string*>(data))) break;
  }
  return 1;
}

}  // namespace

std::string ReadOwnVersionData() {
  std::string data;
  dl_iterate_phdr(LookInProgram, &data);
  return data;
}

}  // namespace velrix::launcher

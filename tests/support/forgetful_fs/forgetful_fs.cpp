// forgetful_fs: a file system for the power-cut tests that keeps what was
// made durable apart from what was only written, in the way durability tests
// of databases use LazyFS. Everything lives in this process's memory:
//
// - a file has its written contents and its synced contents; fsync or
//   fdatasync makes the written ones the synced ones;
// - a folder has its entries as programs see them and as they stand on the
//   disk; fsync of the folder makes the first the second, so a name created,
//   renamed or removed since is lost at a cut;
// - a truncation reaches the synced contents at once: a journalling file
//   system (ext4, ordered mode) commits it with the metadata within seconds,
//   while the new contents wait for the write-back; that is what leaves a
//   file rewritten in place empty after a cut.
//
// A cut is taken after a file-system operation drawn by a seeded generator
// (each operation that changes something is one instant), with a rate of its
// own for renames (where a file is replaced), for the other folder
// operations, truncations and folder syncs, and for writes and file syncs. A cut does not disturb the running
// programs: it writes what the disk would hold after a power cut at that
// instant to SNAPSHOTS/NNNN/durable/, what the programs saw to
// SNAPSHOTS/NNNN/live/, and the instant to SNAPSHOTS/NNNN/cut.txt. A cut
// drops what was not synced, or, drawn as well, keeps the file lengths a
// write-back may have reached: with a random part of a file's unsynced
// appended bytes ("torn") or with NUL bytes in their place ("zeros").
// A test then mounts a durable tree again, as the next start finds it.
//
//   forgetful_fs --from TREE [--snapshots DIR --seed N --rename-rate P
//                --meta-rate P --data-rate P --max-cuts N] MOUNTPOINT
//
// TREE is loaded as the disk's contents (all of it synced). The file system
// runs in the foreground, single-threaded, until unmounted or signalled.

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Ino = std::size_t;
constexpr Ino kRoot = 0;

struct Node {
  bool folder = false;
  mode_t mode = 0644;
  std::time_t changed = 0;
  std::string written, synced;                            // a file's contents
  std::map<std::string, Ino> entries, syncedEntries;     // a folder's names
};

enum class Cut { Drop, Torn, Zeros };
constexpr const char* kCutNames[] = {"drop", "torn", "zeros"};

struct State {
  std::vector<Node> nodes;
  std::string snapshots;
  std::mt19937_64 random{1};
  double renameRate = 0.0, metaRate = 0.0, dataRate = 0.0;
  int maxCuts = 0, cuts = 0;
  long long operations = 0;
};

State state;

Ino NewNode(bool folder, mode_t mode) {
  Node node;
  node.folder = folder;
  node.mode = mode & 07777;
  node.changed = std::time(nullptr);
  state.nodes.push_back(node);
  return state.nodes.size() - 1;
}

std::vector<std::string> Split(const char* path) {
  std::vector<std::string> parts;
  std::stringstream s(path);
  std::string part;
  while (std::getline(s, part, '/')) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

// The node at path as the programs see it, or -ENOENT / -ENOTDIR.
long Resolve(const char* path) {
  Ino at = kRoot;
  for (const std::string& part : Split(path)) {
    const Node& node = state.nodes[at];
    if (!node.folder) return -ENOTDIR;
    const auto found = node.entries.find(part);
    if (found == node.entries.end()) return -ENOENT;
    at = found->second;
  }
  return static_cast<long>(at);
}

// The folder holding path and the last name in it.
long ResolveParent(const char* path, std::string* name) {
  std::vector<std::string> parts = Split(path);
  if (parts.empty()) return -EBUSY;
  *name = parts.back();
  std::string parent;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) parent += "/" + parts[i];
  const long at = Resolve(parent.empty() ? "/" : parent.c_str());
  if (at >= 0 && !state.nodes[at].folder) return -ENOTDIR;
  return at;
}

Node& Handle(const fuse_file_info* fi, const char* path) {
  if (fi != nullptr) return state.nodes[fi->fh];
  return state.nodes[static_cast<Ino>(Resolve(path))];
}

// --- cuts -------------------------------------------------------------------

// What the disk holds of a file after a cut of the given kind.
std::string AfterCut(const Node& node, Cut cut) {
  const std::string& s = node.synced;
  const std::string& w = node.written;
  const bool appended = w.size() > s.size() && w.compare(0, s.size(), s) == 0;
  if (!appended || cut == Cut::Drop) return s;
  const std::size_t extra = w.size() - s.size();
  if (cut == Cut::Zeros) return s + std::string(extra, '\0');
  std::uniform_int_distribution<std::size_t> kept(0, extra);
  return w.substr(0, s.size() + kept(state.random));
}

void WriteTree(Ino at, const fs::path& to, bool durable, Cut cut, int depth) {
  const Node& node = state.nodes[at];
  if (node.folder) {
    fs::create_directories(to);
    if (depth > 64) return;
    for (const auto& [name, child] : durable ? node.syncedEntries : node.entries) {
      WriteTree(child, to / name, durable, cut, depth + 1);
    }
    return;
  }
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  const std::string bytes = durable ? AfterCut(node, cut) : node.written;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

enum class Kind { Rename, Meta, Data };

double RateOf(Kind kind) {
  switch (kind) {
    case Kind::Rename: return state.renameRate;
    case Kind::Meta: return state.metaRate;
    case Kind::Data: return state.dataRate;
  }
  return 0.0;
}

// Called after every operation that changed something.
void Operation(Kind kind, const char* what, const char* path, const char* to = "") {
  ++state.operations;
  if (state.snapshots.empty() || state.cuts >= state.maxCuts) return;
  std::uniform_real_distribution<double> draw(0.0, 1.0);
  if (draw(state.random) >= RateOf(kind)) return;
  const Cut cut = static_cast<Cut>(std::uniform_int_distribution<int>(0, 2)(state.random));
  char number[16];
  std::snprintf(number, sizeof number, "%04d", ++state.cuts);
  const fs::path folder = fs::path(state.snapshots) / number;
  WriteTree(kRoot, folder / "durable", true, cut, 0);
  WriteTree(kRoot, folder / "live", false, cut, 0);
  std::ofstream(folder / "cut.txt") << "after operation " << state.operations << ": " << what
                                    << " " << path << " " << to << "; cut: "
                                    << kCutNames[static_cast<int>(cut)] << "\n";
}

// --- loading ----------------------------------------------------------------

void Load(const fs::path& from, Ino at) {
  for (const auto& entry : fs::directory_iterator(from)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory()) {
      const Ino child = NewNode(true, 0755);
      state.nodes[at].entries[name] = child;
      Load(entry.path(), child);
    } else if (entry.is_regular_file()) {
      const Ino child = NewNode(false, 0644);
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      state.nodes[child].written = state.nodes[child].synced = bytes.str();
      state.nodes[at].entries[name] = child;
    }
  }
  state.nodes[at].syncedEntries = state.nodes[at].entries;
}

// --- the operations -----------------------------------------------------------

int GetAttr(const char* path, struct stat* st, fuse_file_info* fi) {
  const long at = fi != nullptr ? static_cast<long>(fi->fh) : Resolve(path);
  if (at < 0) return static_cast<int>(at);
  const Node& node = state.nodes[at];
  std::memset(st, 0, sizeof *st);
  st->st_ino = static_cast<ino_t>(at + 1);
  st->st_mode = (node.folder ? S_IFDIR : S_IFREG) | node.mode;
  st->st_nlink = node.folder ? 2 : 1;
  st->st_size = static_cast<off_t>(node.written.size());
  st->st_blocks = (st->st_size + 511) / 512;
  st->st_mtime = st->st_ctime = st->st_atime = node.changed;
  st->st_uid = getuid();
  st->st_gid = getgid();
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  const long at = Resolve(path);
  if (at < 0) return static_cast<int>(at);
  if (!state.nodes[at].folder) return -ENOTDIR;
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  for (const auto& entry : state.nodes[at].entries) {
    fill(buffer, entry.first.c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  }
  return 0;
}

int MakeEntry(const char* path, bool folder, mode_t mode, Ino* made) {
  std::string name;
  const long parent = ResolveParent(path, &name);
  if (parent < 0) return static_cast<int>(parent);
  if (state.nodes[parent].entries.count(name) != 0) return -EEXIST;
  *made = NewNode(folder, mode);
  state.nodes[parent].entries[name] = *made;
  return 0;
}

int MakeDir(const char* path, mode_t mode) {
  Ino made = 0;
  const int result = MakeEntry(path, true, mode, &made);
  if (result == 0) Operation(Kind::Meta, "mkdir", path);
  return result;
}

int Create(const char* path, mode_t mode, fuse_file_info* fi) {
  Ino made = 0;
  const int result = MakeEntry(path, false, mode, &made);
  if (result != 0) return result;
  fi->fh = made;
  Operation(Kind::Meta, "create", path);
  return 0;
}

int Remove(const char* path, bool folder) {
  std::string name;
  const long parent = ResolveParent(path, &name);
  if (parent < 0) return static_cast<int>(parent);
  auto& entries = state.nodes[parent].entries;
  const auto found = entries.find(name);
  if (found == entries.end()) return -ENOENT;
  const Node& node = state.nodes[found->second];
  if (node.folder != folder) return folder ? -ENOTDIR : -EISDIR;
  if (folder && !node.entries.empty()) return -ENOTEMPTY;
  entries.erase(found);
  Operation(Kind::Meta, folder ? "rmdir" : "unlink", path);
  return 0;
}

int Unlink(const char* path) { return Remove(path, false); }
int RemoveDir(const char* path) { return Remove(path, true); }

int Rename(const char* from, const char* to, unsigned int flags) {
  if ((flags & ~RENAME_NOREPLACE) != 0) return -EINVAL;
  std::string fromName, toName;
  const long fromParent = ResolveParent(from, &fromName);
  const long toParent = ResolveParent(to, &toName);
  if (fromParent < 0) return static_cast<int>(fromParent);
  if (toParent < 0) return static_cast<int>(toParent);
  auto& source = state.nodes[fromParent].entries;
  const auto moved = source.find(fromName);
  if (moved == source.end()) return -ENOENT;
  const Ino ino = moved->second;
  auto& target = state.nodes[toParent].entries;
  const auto replaced = target.find(toName);
  if (replaced != target.end()) {
    if (flags & RENAME_NOREPLACE) return -EEXIST;
    if (replaced->second == ino) return 0;
    const Node& old = state.nodes[replaced->second];
    if (old.folder && !state.nodes[ino].folder) return -EISDIR;
    if (!old.folder && state.nodes[ino].folder) return -ENOTDIR;
    if (old.folder && !old.entries.empty()) return -ENOTEMPTY;
  }
  source.erase(fromName);
  state.nodes[toParent].entries[toName] = ino;
  Operation(Kind::Rename, "rename", from, to);
  return 0;
}

void Truncated(Node& node, std::size_t size) {
  node.written.resize(size);
  // The truncation is on the disk at once; the contents are not.
  if (node.synced.size() > size) node.synced.resize(size);
  node.changed = std::time(nullptr);
}

int Open(const char* path, fuse_file_info* fi) {
  const long at = Resolve(path);
  if (at < 0) return static_cast<int>(at);
  if (state.nodes[at].folder && (fi->flags & O_ACCMODE) != O_RDONLY) return -EISDIR;
  fi->fh = static_cast<Ino>(at);
  if ((fi->flags & O_TRUNC) != 0 && !state.nodes[at].written.empty()) {
    Truncated(state.nodes[at], 0);
    Operation(Kind::Meta, "open O_TRUNC", path);
  }
  return 0;
}

int OpenDir(const char* path, fuse_file_info* fi) {
  const long at = Resolve(path);
  if (at < 0) return static_cast<int>(at);
  if (!state.nodes[at].folder) return -ENOTDIR;
  fi->fh = static_cast<Ino>(at);
  return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  const std::string& bytes = Handle(fi, path).written;
  if (offset < 0 || static_cast<std::size_t>(offset) >= bytes.size()) return 0;
  const std::size_t n = std::min(size, bytes.size() - static_cast<std::size_t>(offset));
  std::memcpy(buffer, bytes.data() + offset, n);
  return static_cast<int>(n);
}

int Write(const char* path, const char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  Node& node = Handle(fi, path);
  const std::size_t end = static_cast<std::size_t>(offset) + size;
  if (node.written.size() < end) node.written.resize(end);
  std::memcpy(node.written.data() + offset, buffer, size);
  node.changed = std::time(nullptr);
  Operation(Kind::Data, "write", path);
  return static_cast<int>(size);
}

int Truncate(const char* path, off_t size, fuse_file_info* fi) {
  if (fi == nullptr && Resolve(path) < 0) return static_cast<int>(Resolve(path));
  Node& node = Handle(fi, path);
  if (node.folder) return -EISDIR;
  Truncated(node, static_cast<std::size_t>(size));
  Operation(Kind::Meta, "truncate", path);
  return 0;
}

int Sync(const char* path, int, fuse_file_info* fi) {
  Node& node = Handle(fi, path);
  node.synced = node.written;
  Operation(Kind::Data, "fsync", path);
  return 0;
}

int SyncDir(const char* path, int, fuse_file_info* fi) {
  Node& node = Handle(fi, path);
  node.syncedEntries = node.entries;
  Operation(Kind::Meta, "fsync folder", path);
  return 0;
}

int Nothing(const char*, fuse_file_info*) { return 0; }

void* Init(fuse_conn_info*, fuse_config* config) {
  // Every lookup and length asked of this process, so nothing the kernel
  // kept from before stands in for what the file system holds.
  config->entry_timeout = config->attr_timeout = config->negative_timeout = 0;
  return nullptr;
}

double Number(const char* text) { return std::strtod(text, nullptr); }

}  // namespace

int main(int argc, char** argv) {
  std::string from;
  std::vector<char*> fuseArgs = {argv[0]};
  unsigned long long seed = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool valued = i + 1 < argc;
    if (arg == "--from" && valued) {
      from = argv[++i];
    } else if (arg == "--snapshots" && valued) {
      // fuse_main changes to "/": every path is made absolute first.
      state.snapshots = fs::absolute(argv[++i]).string();
    } else if (arg == "--seed" && valued) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--rename-rate" && valued) {
      state.renameRate = Number(argv[++i]);
    } else if (arg == "--meta-rate" && valued) {
      state.metaRate = Number(argv[++i]);
    } else if (arg == "--data-rate" && valued) {
      state.dataRate = Number(argv[++i]);
    } else if (arg == "--max-cuts" && valued) {
      state.maxCuts = std::atoi(argv[++i]);
    } else {
      fuseArgs.push_back(argv[i]);
    }
  }
  if (from.empty() || fuseArgs.size() != 2) {
    std::fprintf(stderr, "usage: forgetful_fs --from TREE [--snapshots DIR --seed N "
                         "--rename-rate P --meta-rate P --data-rate P --max-cuts N] "
                         "MOUNTPOINT\n");
    return 2;
  }
  state.random.seed(seed);
  NewNode(true, 0755);
  Load(from, kRoot);
  static char foreground[] = "-f", single[] = "-s", option[] = "-o";
  static char options[] = "auto_unmount";
  fuseArgs.insert(fuseArgs.end(), {foreground, single, option, options});
  fuse_operations ops{};
  ops.getattr = GetAttr;
  ops.readdir = ReadDir;
  ops.mkdir = MakeDir;
  ops.create = Create;
  ops.unlink = Unlink;
  ops.rmdir = RemoveDir;
  ops.rename = Rename;
  ops.open = Open;
  ops.opendir = OpenDir;
  ops.read = Read;
  ops.write = Write;
  ops.truncate = Truncate;
  ops.fsync = Sync;
  ops.fsyncdir = SyncDir;
  ops.flush = Nothing;
  ops.release = Nothing;
  ops.releasedir = Nothing;
  ops.init = Init;
  return fuse_main(static_cast<int>(fuseArgs.size()), fuseArgs.data(), &ops, nullptr);
}

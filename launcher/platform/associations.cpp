#include "launcher/platform/associations.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace velrix::launcher {

namespace {

// The default program for the document's type, or nullptr; the caller
// releases it.
GAppInfo* DefaultProgramFor(const std::string& document) {
  gchar* type = g_content_type_guess(document.c_str(), nullptr, 0, nullptr);
  if (type == nullptr) return nullptr;
  GAppInfo* program = g_app_info_get_default_for_type(type, FALSE);
  g_free(type);
  return program;
}

void TakePid(GDesktopAppInfo*, GPid pid, gpointer data) { *static_cast<int*>(data) = pid; }

}  // namespace

bool HasAssociatedProgram(const std::string& document) {
  GAppInfo* program = DefaultProgramFor(document);
  if (program == nullptr) return false;
  g_object_unref(program);
  return true;
}

StartedProcess StartWithAssociatedProgram(const std::string& document) {
  GAppInfo* program = DefaultProgramFor(document);
  if (program == nullptr) return {};
  GFile* file = g_file_new_for_path(document.c_str());
  gchar* uri = g_file_get_uri(file);
  GList* uris = g_list_append(nullptr, uri);
  StartedProcess process;
  if (G_IS_DESKTOP_APP_INFO(program)) {
    // The child is not reaped by GLib, so the launcher can wait for it.
    int pid = -1;
    process.started = g_desktop_app_info_launch_uris_as_manager(
                          G_DESKTOP_APP_INFO(program), uris, nullptr,
                          static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                          nullptr, nullptr, TakePid, &pid, nullptr) != FALSE;
    process.pid = process.started ? pid : -1;
  } else {
    process.started = g_app_info_launch_uris(program, uris, nullptr, nullptr) != FALSE;
  }
  g_list_free(uris);
  g_free(uri);
  g_object_unref(file);
  g_object_unref(program);
  return process;
}

}  // namespace velrix::launcher

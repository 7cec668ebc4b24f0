// The launcher's tests draw offscreen, and find associated programs in a
// desktop of their own: a MIME database that knows *.txt and *.pdf, and one
// viewer program for text/plain only, so "has an associated program" and
// "has none" are both certain. GIO reads these places once, so they are set
// before anything asks it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>

#include <cstdlib>

#include "tests/launcher/launcher_fixture.h"
#include "tests/support/temp_folder.h"

int main(int argc, char** argv) {
  using velrix::testing::WriteBytes;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  velrix::testing::TempFolder desktop;
  const std::string data = desktop.File("data"), config = desktop.File("config");
  for (const char* sub : {"data", "data/mime", "data/applications", "config", "none"}) {
    mkdir(desktop.File(sub).c_str(), 0755);
  }
  const std::string viewer = desktop.File("viewer.sh");
  WriteBytes(viewer, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.log\"\n");
  chmod(viewer.c_str(), 0755);
  WriteBytes(data + "/mime/globs2", "50:text/plain:*.txt\n50:application/pdf:*.pdf\n");
  WriteBytes(data + "/applications/velrix-test-viewer.desktop",
             "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + viewer +
                 " %f\nMimeType=text/plain;\n");
  WriteBytes(config + "/mimeapps.list",
             "[Default Applications]\ntext/plain=velrix-test-viewer.desktop\n");
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("XDG_DATA_DIRS", desktop.File("none").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", desktop.File("none").c_str(), 1);
  unsetenv("XDG_CURRENT_DESKTOP");
  setenv(velrix::launcher::testing::kViewerLogVariable, (viewer + ".log").c_str(), 1);

  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

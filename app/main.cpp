// vorlex: the window. Pick a drive, press Start, read the groups of files
// that share a name, save them as a log.
//
// One option exists for trying the window on a tree of one's own:
//   vorlex --drive DIR   offers DIR as a drive and starts on it.
#include <QApplication>
#include <QByteArray>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "app/main_window.h"

int main(int argc, char** argv) {
  // Input held back while a scan repaints the window is delivered at once
  // after the scan with Qt's own event dispatcher; under glib's it can wait
  // for the next X event.
  qputenv("QT_NO_GLIB", "1");
  QApplication app(argc, argv);

  vorlex::TForm1Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--drive") != 0) continue;  // start arguments are ignored
    char resolved[PATH_MAX];
    if (i + 1 >= argc || realpath(argv[i + 1], resolved) == nullptr) {
      std::fprintf(stderr, "vorlex: --drive needs an existing directory\n");
      return 2;
    }
    options.start_drive = resolved;
    ++i;
  }

  try {
    vorlex::TForm1 form(std::move(options));
    QApplication::setWindowIcon(form.windowIcon());
    form.show();
    QApplication::exec();
  } catch (const std::exception& error) {
    vorlex::ShowStandardErrorReport(nullptr, error.what());
  }
  return 0;
}

// A program that copies a user profile with cProfiles and stops midway: after the given number
// of files it prints "COPIED n" and waits to be killed. The crash test kills it there.
//   jex_profilecopy <user folder> <source> <target> <files before waiting>
#include <QCoreApplication>
#include <QThread>
#include <cstdio>

#include "dialogs/profiles/cprofiles.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 5) {
    std::fprintf(stderr, "usage: jex_profilecopy <user folder> <source> <target> <files>\n");
    return 2;
  }
  const int stopAt = args[4].toInt();
  jex::cProfiles profiles(args[1]);
  profiles.setCopyProgress([stopAt](int files) {
    if (files == stopAt) {
      std::printf("COPIED %d\n", files);
      std::fflush(stdout);
      for (;;) QThread::sleep(60);
    }
    return true;
  });
  const auto outcome = profiles.Copy(args[2], args[3]);
  std::printf("ENDED %d\n", int(outcome));
  return 0;
}

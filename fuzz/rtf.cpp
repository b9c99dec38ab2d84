// Feeds arbitrary bytes to the rich-text reader: it must neither crash nor hang, and the text it
// produces is never longer than its input.
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

#include "widgets/rtfreader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);  // QTextDocument's fonts need a GUI application
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // Half of the runs start as RTF so that the reader's body is reached, not only the check.
  if (size > 0 && (data[0] & 1)) input = "{\\rtf1 " + input.mid(1);
  QTextDocument doc;
  if (jex::rtf::read(input, doc) && doc.characterCount() > input.size() + 1) std::abort();
  return 0;
}

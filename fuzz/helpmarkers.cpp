// Arbitrary text through the help texts' marker removal and title split: no crash, no hang, and
// what comes out agrees with itself: the blocks are in order inside the text, the shown text is
// the text less the blocks, the caret target lies inside the shown text, removal in a document
// gives the same text and target, and the title and the rest make up the text.
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

#include "dialogs/help/helptext.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte splits the rest into the control's name and the text.
  const size_t nameLength = qMin<size_t>(data[0] % 16, size - 1);
  const QString control = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(nameLength));
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data + 1 + nameLength), qsizetype(size - 1 - nameLength));

  const jex::help::Markers m = jex::help::findMarkers(text, control);
  qsizetype end = 0, removed = 0;
  for (const jex::help::Range& b : m.blocks) {
    if (b.start < end || b.length < 4 || b.start + b.length > text.size()) std::abort();
    end = b.start + b.length;
    removed += b.length;
  }
  const QString shown = jex::help::removeBlocks(text, m.blocks);
  if (shown.size() != text.size() - removed || m.target < 0 || m.target > shown.size()) std::abort();
  (void)jex::help::markerNames(text);

  QTextDocument doc;
  doc.setPlainText(text);
  const QString plain = doc.toPlainText();  // line ends as the document keeps them
  const jex::help::Markers inDoc = jex::help::findMarkers(plain, control);
  const qsizetype target = jex::help::removeMarkers(doc, control);
  if (doc.toPlainText() != jex::help::removeBlocks(plain, inDoc.blocks)) std::abort();
  if (target < 0 || target > doc.characterCount()) std::abort();

  const jex::help::Titled t = jex::help::splitTitle(text);
  if (!text.startsWith(t.title) || !text.endsWith(t.rest) || t.title.size() + t.rest.size() > text.size()) std::abort();
  return 0;
}

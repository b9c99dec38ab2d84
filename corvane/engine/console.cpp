#include "corvane/engine/console.h"

#include "corvane/engine/commandrouter.h"

#include <QSocketNotifier>

#include "corvane/engine/hostplatform.h"

namespace corvane {

ConsoleLine parseConsoleLine(const QString& raw) {
  ConsoleLine r;
  const QString line = raw.trimmed();
  if (line.isEmpty()) return r;
  if (!line.startsWith(u':')) {
    r.kind = ConsoleLine::Key;
    r.args << normaliseCommand(line);
    return r;
  }
  const QString verb = line.section(u' ', 0, 0, QString::SectionSkipEmpty).mid(1).toLower();
  const QString rest = line.mid(line.indexOf(u' ') < 0 ? line.size() : line.indexOf(u' ')).trimmed();
  if (verb == u"switch") {
    const QStringList names = rest.split(u' ', Qt::SkipEmptyParts);
    if (names.size() != 2) {
      r.kind = ConsoleLine::Invalid;
      r.args << QStringLiteral("usage: :switch OLD NEW");
      return r;
    }
    r.kind = ConsoleLine::Switch;
    r.args << names[0].toUpper() << names[1].toUpper();
  } else if (verb == u"say") {
    r.kind = ConsoleLine::Say;
    r.args << rest;
  } else if (verb == u"type") {
    r.kind = ConsoleLine::Type;
    r.args << rest;
  } else if (verb == u"brl") {
    r.kind = ConsoleLine::Braille;
    r.args << rest;
  } else if (verb == u"key" || verb == u"brlkey") {
    if (rest.isEmpty() || rest.contains(u' ')) {
      r.kind = ConsoleLine::Invalid;
      r.args << QStringLiteral("usage: :") + verb + QStringLiteral(" CODE");
      return r;
    }
    r.kind = verb == u"key" ? ConsoleLine::KeyCode : ConsoleLine::BrlCode;
    r.args << rest;
  } else if (verb == u"quit") {
    r.kind = ConsoleLine::Quit;
  } else if (verb == u"help") {
    r.kind = ConsoleLine::Help;
  } else if (verb == u"funcs") {
    r.kind = ConsoleLine::Funcs;
    r.args << rest;
  } else if (verb == u"objects") {
    r.kind = ConsoleLine::Objects;
  } else if (verb == u"memory") {
    r.kind = ConsoleLine::Memory;
  } else {
    r.kind = ConsoleLine::Invalid;
    r.args << QStringLiteral("unknown console command :") + verb + QStringLiteral(" (try :help)");
  }
  return r;
}

QString consoleHelp() {
  return QStringLiteral(
      ":switch OLD NEW   simulate a switch of the foreground application\n"
      ":say TEXT         speak a text\n"
      ":type KEYS        type keys for the key echo: text, {Space}, {Backspace}, {Enter}, {F5}, {Ctrl+C}, {NumLock}\n"
      ":brl TEXT         show a text on the Braille display (\\n starts a new line)\n"
      ":key CODE         press a key of the keyboard: CAP_Up|S (Caps Lock held), L/N5 (keypad chord)\n"
      ":brlkey CODE      press a key of the Braille display: TH4\n"
      ":objects          list the objects exposed to the scripts\n"
      ":memory           give freed memory back to the system and print the core's resident size\n"
      ":funcs M [ARG..]  call member M of the exposed Funcs as a script would (\"text\", numbers, ~ = omitted,\n"
      "                  @proc = the core's object proc;\n"
      "                  :funcs M = VALUE assigns); CallBack answers print as CALLBACK: lines\n"
      ":quit             end the core at once\n"
      ":help             this list\n"
      "COMMAND           anything else is a command, as if its key was pressed (for example DLGSPEECH)");
}

StdinReader::StdinReader(QObject* parent) : QObject(parent) {
  notifier_ = new QSocketNotifier(consoleInputHandle(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StdinReader::readAvailable);
}

void StdinReader::readAvailable() {
  char buf[4096];
  const qint64 n = readConsoleInput(buf, sizeof buf);
  if (n < 0) return;
  if (n == 0) {
    // End of input: stop listening; the core goes on running.
    notifier_->setEnabled(false);
    atEnd_ = true;
  } else {
    buffer_.append(buf, n);
  }
  // A line being handled may wait in a call to JexUI, which serves events meanwhile and so
  // brings us back here: the new input then only joins the buffer, and the loop further up
  // the stack takes it after the line before it, so commands keep the order they were typed in.
  if (emitting_) return;
  emitting_ = true;
  qsizetype nl;
  while ((nl = buffer_.indexOf('\n')) >= 0) {
    const QByteArray line = buffer_.left(nl);
    buffer_.remove(0, nl + 1);
    emit lineRead(QString::fromUtf8(line).remove(u'\r'));
  }
  if (atEnd_ && !buffer_.isEmpty()) emit lineRead(QString::fromUtf8(std::exchange(buffer_, {})).remove(u'\r'));
  emitting_ = false;
}

}  // namespace corvane

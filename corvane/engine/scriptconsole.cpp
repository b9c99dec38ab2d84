#include "corvane/engine/scriptconsole.h"

#include "corvane/engine/objects.h"

namespace corvane {

using jex::automation::Obj;

namespace {

// Splits into tokens; a quoted token keeps its quotes off and is marked as text.
struct Token {
  QString text;
  bool quoted = false;
};

std::optional<QList<Token>> tokenize(const QString& s, QString* error) {
  QList<Token> out;
  int i = 0;
  const int n = int(s.size());
  while (i < n) {
    if (s[i].isSpace()) {
      ++i;
      continue;
    }
    Token t;
    if (s[i] == u'"') {
      t.quoted = true;
      ++i;
      bool closed = false;
      while (i < n) {
        const QChar c = s[i++];
        if (c == u'\\' && i < n && (s[i] == u'"' || s[i] == u'\\')) {
          t.text += s[i++];
        } else if (c == u'"') {
          closed = true;
          break;
        } else {
          t.text += c;
        }
      }
      if (!closed) {
        *error = QStringLiteral("missing closing quote");
        return std::nullopt;
      }
    } else {
      while (i < n && !s[i].isSpace()) t.text += s[i++];
    }
    out << t;
  }
  return out;
}

QVariant value(const Token& t) {
  if (t.quoted) return t.text;
  if (t.text == u"~") return jex::automation::missing();
  bool ok = false;
  const int v = t.text.toInt(&ok);
  return ok ? QVariant(v) : QVariant(t.text);
}

QString show(const QVariant& v) {
  if (jex::automation::isMissing(v)) return QStringLiteral("~");
  if (!v.isValid()) return QStringLiteral("<empty>");
  if (v.userType() == qMetaTypeId<Obj>()) return QStringLiteral("<object>");
  if (v.userType() == QMetaType::QString) return u'"' + v.toString() + u'"';
  if (v.userType() == QMetaType::QStringList) return v.toStringList().join(u',');
  return v.toString();
}

}  // namespace

ScriptCall parseScriptCall(const QString& text) {
  ScriptCall call;
  const auto tokens = tokenize(text, &call.error);
  if (!tokens) return call;
  if (tokens->isEmpty() || tokens->front().quoted) {
    call.error = QStringLiteral("usage: :funcs MEMBER [ARG ...] or :funcs MEMBER = VALUE");
    return call;
  }
  call.member = tokens->front().text;
  int first = 1;
  if (tokens->size() > 1 && !(*tokens)[1].quoted && (*tokens)[1].text == u"=") {
    call.assign = true;
    first = 2;
    if (tokens->size() != 3) {
      call.error = QStringLiteral("usage: :funcs MEMBER = VALUE");
      return call;
    }
  }
  for (int i = first; i < tokens->size(); ++i) {
    const Token& t = (*tokens)[i];
    if (!t.quoted && t.text.size() > 1 && t.text.startsWith(u'@')) {
      call.objects.insert(int(call.args.size()), t.text.mid(1));
      call.args << QVariant();
      continue;
    }
    call.args << value(t);
  }
  return call;
}

QString runScriptCall(const ScriptHost& host, const QString& text, const QString& objectName, const Obj& root) {
  const QString head = QStringLiteral("FUNCS: ");
  ScriptCall call = parseScriptCall(text);
  if (!call.error.isEmpty()) return head + call.error;
  for (auto it = call.objects.cbegin(); it != call.objects.cend(); ++it) {
    if (root.isNothing()) return head + QStringLiteral("no core object for @") + it.value();
    try {
      call.args[it.key()] = jex::automation::fromObj(root.obj(it.value()));
    } catch (const jex::Error& e) {
      return head + QStringLiteral("@%1: %2 %3").arg(it.value()).arg(e.number()).arg(e.description());
    }
  }
  const Obj target = host.exposed(objectName);
  if (target.isNothing()) return head + QStringLiteral("no object \"%1\" has been exposed").arg(objectName);
  try {
    if (call.assign) {
      target.set(call.member, call.args.front());
      return head + call.member + QStringLiteral(" = ") + show(call.args.front());
    }
    QVariantList args = call.args;
    const QVariant result = target.call(call.member, args);
    QString line = head + call.member + QStringLiteral(" -> ") + show(result);
    QStringList changed;
    for (int i = 0; i < args.size() && i < call.args.size(); ++i)
      if (args[i] != call.args[i]) changed << QStringLiteral("arg%1=%2").arg(i + 1).arg(show(args[i]));
    if (!changed.isEmpty()) line += u' ' + changed.join(u' ');
    return line;
  } catch (const jex::Error& e) {
    return head + call.member + QStringLiteral(" failed: %1 %2").arg(e.number()).arg(e.description());
  }
}

QString typedLength(const QString& typed) { return QStringLiteral("<%1 characters>").arg(typed.size()); }

std::optional<QString> describeScriptBoxCallBack(const jex::automation::Args& a) {
  if (a.size() < 3 || a.at(1).userType() != qMetaTypeId<Obj>() || a.at(2).userType() != QMetaType::QString)
    return std::nullopt;
  const Obj box = a.at(1).value<Obj>();
  const auto field = [&box](const QString& name) {
    return jex::trapped("describeScriptBoxCallBack", QStringLiteral("<unreadable>"), [&] { return box.str(name); });
  };
  // A message box's result is the button pressed; what the user typed into an input box is
  // never printed or logged, only its length.
  const QString event = a.at(2).toString();
  const QString result = field(QStringLiteral("Result"));
  return QStringLiteral("CALLBACK: %1 application=%2 Result=%3 Cookie=%4")
      .arg(event, jex::trapped("describeScriptBoxCallBack", QString(), [&] { return jex::automation::toStr(a.at(0)); }),
           event.compare(QLatin1String("OnMsgBoxClick"), Qt::CaseInsensitive) == 0 ? result : typedLength(result),
           field(QStringLiteral("Cookie")));
}

}  // namespace corvane

#include "corvane/engine/scriptrun.h"

#include <QRegularExpression>
#include <QStringList>

namespace corvane {

namespace {

// Splits text at sep where it stands outside a string literal; a ' outside one starts a comment,
// which is left out.
QStringList splitOutside(const QString& text, QChar sep) {
  QStringList parts;
  QString current;
  bool inString = false;
  for (const QChar c : text) {
    if (c == u'"') inString = !inString;
    if (!inString && c == u'\'') break;
    if (!inString && c == sep) {
      parts << current;
      current.clear();
      continue;
    }
    current += c;
  }
  parts << current;
  return parts;
}

// A literal expression: string literals ("" inside one is a quote) and whole numbers, joined
// with &. nullopt for anything else (a variable, a function call).
std::optional<QString> literal(const QString& expression) {
  const QStringList terms = splitOutside(expression, u'&');
  QString value;
  for (const QString& raw : terms) {
    const QString t = raw.trimmed();
    if (t.size() >= 2 && t.startsWith(u'"') && t.endsWith(u'"')) {
      const QString inner = t.mid(1, t.size() - 2);
      // A lone quote inside would end the literal: not one literal then.
      if (QString(inner).remove(QStringLiteral("\"\"")).contains(u'"')) return std::nullopt;
      value += QString(inner).replace(QStringLiteral("\"\""), QStringLiteral("\""));
      continue;
    }
    bool number = false;
    t.toLongLong(&number);
    if (!number) return std::nullopt;
    value += t;
  }
  return value;
}

ScriptStep statement(const QString& text, int line) {
  static const QRegularExpression call(
      QStringLiteral("^(?:call\\s+)?proc\\.(speechoutvoice|addtocmdqueue)\\b\\s*(.*)$"),
      QRegularExpression::CaseInsensitiveOption);
  ScriptStep step;
  step.line = line;
  step.text = text;
  const QRegularExpressionMatch m = call.match(text);
  if (!m.hasMatch()) return step;
  QString args = m.captured(2).trimmed();
  if (args.startsWith(u'(') && args.endsWith(u')')) args = args.mid(1, args.size() - 2);
  const QStringList parts = splitOutside(args, u',');
  QList<QString> values;
  for (const QString& p : parts) {
    const std::optional<QString> v = literal(p);
    if (!v) return step;
    values << *v;
  }
  if (m.captured(1).compare(u"addtocmdqueue", Qt::CaseInsensitive) == 0) {
    if (values.size() != 1 || values[0].trimmed().isEmpty()) return step;
    step.kind = ScriptStep::Queue;
    step.text = values[0];
    return step;
  }
  if (values.isEmpty() || values.size() > 2) return step;
  bool ok = true;
  const int source = values.size() == 2 ? values[1].toInt(&ok) : 1;
  if (!ok) return step;
  step.kind = ScriptStep::Speak;
  step.text = values[0];
  step.source = source;
  return step;
}

}  // namespace

std::optional<FunctionCall> parseFunctionCall(const QString& command) {
  static const QRegularExpression form(QStringLiteral("^([^.\\s:]*)\\.SUB\\.([A-Za-z_][A-Za-z0-9_]*)$"),
                                       QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = form.match(command.trimmed());
  if (!m.hasMatch()) return std::nullopt;
  return FunctionCall{m.captured(1).toUpper(), m.captured(2)};
}

std::optional<ScriptFunctionBody> scriptBody(const QString& text, const QString& name) {
  static const QRegularExpression start(
      QStringLiteral("^\\s*(?:(public|private)\\s+)?(?:sub|function)\\s+([A-Za-z_][A-Za-z0-9_]*)"),
      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression end(QStringLiteral("^\\s*end\\s+(?:sub|function)\\b"),
                                      QRegularExpression::CaseInsensitiveOption);
  const QStringList lines = QString(text).remove(u'\r').split(u'\n');
  for (int i = 0; i < lines.size(); ++i) {
    const QRegularExpressionMatch m = start.match(lines[i]);
    if (!m.hasMatch() || m.captured(2).compare(name, Qt::CaseInsensitive) != 0) continue;
    if (m.captured(1).compare(u"private", Qt::CaseInsensitive) == 0) continue;  // not for callers outside
    ScriptFunctionBody body{m.captured(2), {}};
    for (int j = i + 1; j < lines.size() && !end.match(lines[j]).hasMatch(); ++j)
      for (const QString& s : splitOutside(lines[j], u':'))
        if (!s.trimmed().isEmpty()) body.steps << statement(s.trimmed(), j + 1);
    return body;
  }
  return std::nullopt;
}

}  // namespace corvane

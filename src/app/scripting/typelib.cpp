#include "app/scripting/typelib.h"

#include <QStringList>

namespace jex {

QString typeLibClass(const QString& className) { return QLatin1String(kTypeLibrary) + u'.' + className; }

namespace {

QStringList& creatable() {
  static QStringList names;
  return names;
}

QString argumentCount(const automation::MemberInfo& m) {
  if (m.maxArgs < 0) return QStringLiteral("(%1 or more)").arg(m.minArgs);
  if (m.minArgs == m.maxArgs) return QStringLiteral("(%1)").arg(m.minArgs);
  return QStringLiteral("(%1 to %2)").arg(m.minArgs).arg(m.maxArgs);
}

QString memberLine(const automation::MemberInfo& m) {
  QString line;
  if (m.kind == automation::CallKind::Method) {
    line = QStringLiteral("Function ") + m.name + argumentCount(m);
  } else {
    const QString index = m.maxArgs > 0 ? argumentCount(m) : QString();
    if (m.readable) line = QStringLiteral("Property Get ") + m.name + index;
    if (m.writable)
      line += (line.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("Property Let ") + m.name + index;
  }
  if (!m.help.isEmpty()) line += QStringLiteral(" ' ") + m.help;
  return line;
}

}  // namespace

void registerTypeLibClass(const QString& className, automation::Factory factory) {
  const QString progId = typeLibClass(className);
  automation::registerClass(progId, std::move(factory));
  if (!creatable().contains(progId, Qt::CaseInsensitive)) {
    creatable().append(progId);
    creatable().sort(Qt::CaseInsensitive);
  }
}

QStringList typeLibClasses() { return creatable(); }

QString describeMembers(const Obj& object) {
  if (object.isNothing()) return {};
  QStringList lines{QStringLiteral("Class ") + object.target()->className()};
  for (const automation::MemberInfo& m : object.target()->members()) lines << memberLine(m);
  return lines.join(QStringLiteral("\r\n"));
}

}  // namespace jex

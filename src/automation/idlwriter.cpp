#include "automation/idlwriter.h"

#include <QCryptographicHash>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

namespace jex::automation {

namespace {

QString identifier(const QString& name) {
  QString id;
  for (const QChar c : name) id += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'_' ? c : QChar(u'_');
  if (id.isEmpty() || id[0].isDigit()) id.prepend(u'_');
  return id;
}

QString quoted(const QString& text) {
  QString out;
  for (const QChar c : text) {
    if (c == u'"' || c == u'\\') out += u'\\';
    if (c.unicode() < 32 || c.unicode() > 126) out += u' ';
    else out += c;
  }
  return u'"' + out + u'"';
}

QString idlType(int type) {
  switch (type) {
    case 2:
      return QStringLiteral("short");
    case 3:
      return QStringLiteral("long");
    case 5:
      return QStringLiteral("double");
    case 7:
      return QStringLiteral("DATE");
    case 8:
      return QStringLiteral("BSTR");
    case 9:
      return QStringLiteral("IDispatch*");
    case 11:
      return QStringLiteral("VARIANT_BOOL");
    case 17:
      return QStringLiteral("unsigned char");
    case 24:
      return QStringLiteral("void");
    default:
      return QStringLiteral("VARIANT");
  }
}

QString parameter(const ParamInfo& p) {
  QStringList attributes{QStringLiteral("in")};
  if (p.flags & 0x2) attributes << QStringLiteral("out");
  if (p.flags & 0x10) attributes << QStringLiteral("optional");
  QString type = idlType(p.type == 24 ? 12 : p.type);
  if (p.flags & 0x2) type += u'*';
  return u'[' + attributes.join(QStringLiteral(", ")) + QStringLiteral("] ") + type + u' ' + identifier(p.name);
}

QString parameters(const QList<ParamInfo>& list) {
  QStringList out;
  for (const ParamInfo& p : list) out << parameter(p);
  return out.join(QStringLiteral(", "));
}

QString attributes(int id, const char* kind, const QString& help) {
  QString a = QStringLiteral("[id(%1)").arg(id);
  if (kind) a += QStringLiteral(", ") + QLatin1String(kind);
  if (!help.isEmpty()) a += QStringLiteral(", helpstring(") + quoted(help) + u')';
  return a + QStringLiteral("] ");
}

}  // namespace

QString nameGuid(const QString& name) {
  const QByteArray h = QCryptographicHash::hash("jexui type information/" + name.toUtf8(), QCryptographicHash::Sha1);
  QByteArray b = h.left(16);
  b[6] = char((b[6] & 0x0F) | 0x50);  // version 5: derived from a name
  b[8] = char((b[8] & 0x3F) | 0x80);
  const QString hex = QString::fromLatin1(b.toHex().toUpper());
  return QStringLiteral("{%1-%2-%3-%4-%5}")
      .arg(hex.mid(0, 8), hex.mid(8, 4), hex.mid(12, 4), hex.mid(16, 4), hex.mid(20, 12));
}

QList<ParamInfo> declaredParams(const MemberInfo& m) {
  if (!m.params.isEmpty()) return m.params;
  const int count = m.maxArgs < 0 ? m.minArgs : m.maxArgs;
  QList<ParamInfo> list;
  for (int i = 0; i < count; ++i)
    list.append({QStringLiteral("Param") + QString::number(i + 1), 12, 0x1 | (i >= m.minArgs ? 0x10 : 0)});
  return list;
}

QString writeIdl(const QString& library, const QString& help, const QList<IdlClass>& classes) {
  QString idl = QStringLiteral(
      "// Written by the program from its own member tables; not to be edited.\n"
      "import \"oaidl.idl\";\n\n");
  idl += QStringLiteral("[uuid(%1), version(1.0), helpstring(%2)]\nlibrary %3 {\n  importlib(\"stdole2.tlb\");\n")
             .arg(libraryGuid(library).mid(1, 36), quoted(help), identifier(library));
  QSet<QString> seen;
  for (const IdlClass& c : classes) {
    const QString name = identifier(c.name);
    if (seen.contains(name.toLower())) continue;
    seen.insert(name.toLower());
    idl += QStringLiteral("\n  [uuid(%1)%2]\n  dispinterface %3 {\n    properties:\n    methods:\n")
               .arg(nameGuid(library + u'/' + c.name).mid(1, 36),
                    c.help.isEmpty() ? QString() : QStringLiteral(", helpstring(") + quoted(c.help) + u')', name);
    int id = 0;
    for (const MemberInfo& m : c.members) {
      ++id;
      const QList<ParamInfo> params = declaredParams(m);
      const QString member = identifier(m.name);
      if (m.kind == CallKind::Method) {
        idl += QStringLiteral("      ") + attributes(id, nullptr, m.help) + idlType(m.resultType) + u' ' + member +
               u'(' + parameters(params) + QStringLiteral(");\n");
        continue;
      }
      if (m.readable)
        idl += QStringLiteral("      ") + attributes(id, "propget", m.help) +
               idlType(m.resultType == 24 ? 12 : m.resultType) + u' ' + member + u'(' + parameters(params) +
               QStringLiteral(");\n");
      if (m.writable) {
        QList<ParamInfo> put = params;
        put.append({QStringLiteral("RHS"), m.resultType == 24 ? 12 : m.resultType, 0x1});
        idl += QStringLiteral("      ") + attributes(id, "propput", m.readable ? QString() : m.help) +
               QStringLiteral("void ") + member + u'(' + parameters(put) + QStringLiteral(");\n");
      }
    }
    idl += QStringLiteral("  };\n");
  }
  idl += QStringLiteral("};\n");
  return idl;
}

bool writeIdlFile(const QString& file, const QString& library, const QString& help, const QList<IdlClass>& classes,
                  QString& problem) {
  QSaveFile f(file);
  if (!f.open(QIODevice::WriteOnly)) {
    problem = f.errorString();
    return false;
  }
  f.write(writeIdl(library, help, classes).toUtf8());
  if (!f.commit()) {
    problem = f.errorString();
    return false;
  }
  return true;
}

}  // namespace jex::automation

#include "dialogs/objwiz/declaration.h"

#include <QSet>
#include <QStringList>

namespace jex::objwiz {

using namespace typeinfo;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The index of the result parameter; -1 when there is none.
int resultParameter(const Member& m) {
  for (int i = 0; i < m.parameters.size(); ++i)
    if (m.parameters[i].isRetVal()) return i;
  return -1;
}

// The member's result type; nullopt for a Sub.
std::optional<Type> resultType(const Member& m) {
  const int r = resultParameter(m);
  if (r >= 0) return m.parameters[r].type;
  if (m.result.varType == vt::HResult || m.result.varType == vt::Void) return std::nullopt;
  return m.result;
}

QString resultText(const Type& t) {
  const QString name = typeName(t);
  return t.isArray ? name + QStringLiteral("()") : name;
}

QString parameterName(const Parameter& p, int index) {
  return p.name.isEmpty() ? QStringLiteral("Param") + QString::number(index + 1) : p.name;
}

// "(" + parameters + ")", the last written as the value of a property write when rhs.
QString parameters(const Member& m, bool rhs) {
  const int result = resultParameter(m);
  QStringList list;
  for (int i = 0; i < m.parameters.size(); ++i) {
    if (i == result) continue;
    const Parameter& p = m.parameters[i];
    if (rhs && i == m.parameters.size() - 1) list << QStringLiteral("RHS") + typeSuffix(p.type);
    else list << (p.isOut() ? QString() : QStringLiteral("ByVal ")) + parameterName(p, i) + typeSuffix(p.type);
  }
  return u'(' + list.join(QStringLiteral(", ")) + u')';
}

QString quoted(const QString& s) { return u'"' + QString(s).replace(u'"', QStringLiteral("\"\"")) + u'"'; }

// The declaration itself, without the form's prefix.
QStringList declarations(const Member& m, const Class* owner) {
  const bool module = owner && owner->kind == ClassKind::Modules;
  switch (m.invokeKind) {
    case InvokeKind::Function: {
      const auto result = resultType(m);
      QString text = module ? QStringLiteral("Declare ") : QString();
      text += (result ? QStringLiteral("Function ") : QStringLiteral("Sub ")) + m.name;
      if (module) {
        if (!owner->moduleFile.isEmpty()) text += QStringLiteral(" Lib ") + quoted(owner->moduleFile) + u' ';
        QString entry = m.entryName;
        if (entry.isEmpty() && m.entryOrdinal >= 0) entry = u'#' + QString::number(m.entryOrdinal);
        if (!entry.isEmpty() && entry != m.name) text += QStringLiteral(" Alias ") + quoted(entry) + u' ';
      }
      text += parameters(m, false);
      if (result) text += QStringLiteral(" As ") + resultText(*result);
      return {text};
    }
    case InvokeKind::PropertyGet: {
      const auto result = resultType(m);
      return {QStringLiteral("Property Get ") + m.name + parameters(m, false) + QStringLiteral(" As ") +
              (result ? resultText(*result) : QStringLiteral("Variant"))};
    }
    case InvokeKind::PropertyPut:
      return {QStringLiteral("Property Let ") + m.name + parameters(m, true)};
    case InvokeKind::PropertyPutRef:
      return {QStringLiteral("Property Set ") + m.name + parameters(m, false)};
    case InvokeKind::None:
      break;
  }
  if (m.hasValue || !owner || owner->kind != ClassKind::Interface)
    return {QStringLiteral("Const ") + m.name + QStringLiteral(" = ") + valueText(m.value)};
  // A data member of an interface: read and written like a property.
  return {QStringLiteral("Property Get ") + m.name + QStringLiteral("() As ") + resultText(m.result),
          QStringLiteral("Property Let ") + m.name + QStringLiteral("(RHS") + typeSuffix(m.result) + u')'};
}

// The members of an interface with those of its bases in the same library, bases first.
QVector<const Member*> interfaceMembers(const Library& lib, const Class& cls) {
  QVector<const Class*> chain;
  QSet<const Class*> seen;
  for (const Class* c = &cls; c && !seen.contains(c);) {
    seen.insert(c);
    chain.prepend(c);
    c = (c->baseIndex >= 0 && c->baseIndex < lib.classes.size()) ? &lib.classes[c->baseIndex] : nullptr;
  }
  QVector<const Member*> members;
  for (const Class* c : chain)
    for (const Member& m : c->members) members << &m;
  return members;
}

const Class* implemented(const Library& lib, const Class& coclass, bool source) {
  for (const ImplementedInterface& ii : coclass.interfaces)
    if (ii.isDefault && ii.isSource == source) {
      if (ii.classIndex >= 0 && ii.classIndex < lib.classes.size()) return &lib.classes[ii.classIndex];
      return lib.findClass(ii.name);
    }
  return nullptr;
}

void appendInterface(QString& text, const Library& lib, const Class& cls) {
  for (const Member* m : interfaceMembers(lib, cls)) text += memberDeclaration(*m, DeclarationForm::Private, &cls);
}

}  // namespace

QString typeName(const Type& t) {
  switch (t.varType) {
    case 2:
    case 18:
    case 22:
      return QStringLiteral("Integer");
    case 3:
    case 4:
    case 19:
    case 23:
    case 25:
      return QStringLiteral("Long");
    case 7:
      return QStringLiteral("DateTime");
    case 8:
    case 30:
      return QStringLiteral("String");
    case 9:
      return QStringLiteral("Object");
    case 11:
      return QStringLiteral("Boolean");
    case 12:
      return QStringLiteral("Variant");
    case 16:
    case 17:
      return QStringLiteral("Byte");
    case 24:
      return QStringLiteral("Any");
    case 0:
      return t.userType;
    default:
      return QStringLiteral("Unknown Type(") + QString::number(t.varType) + u')';
  }
}

QString typeSuffix(const Type& t) {
  if (!t.isArray) return QStringLiteral(" As ") + typeName(t);
  QStringList dims;
  for (const ArrayBound& b : t.bounds)
    dims << QString::number(b.lower) + QStringLiteral(" To ") + QString::number(b.upper);
  return u'(' + dims.join(QStringLiteral(", ")) + QStringLiteral(") As ") + typeName(t);
}

QString valueText(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QString:
      return quoted(value.toString());
    case QMetaType::Bool:
      return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
      return QString::number(value.toDouble(), 'g', 15);
    default:
      return value.toString();
  }
}

QString parameterList(const Member& member) {
  const QString list = parameters(member, member.invokeKind == InvokeKind::PropertyPut);
  return list.mid(1, list.size() - 2);
}

QString memberDeclaration(const Member& member, DeclarationForm form, const Class* owner) {
  QString text;
  for (const QString& line : declarations(member, owner)) {
    if (form == DeclarationForm::Private) text += QStringLiteral("Private ") + line + kCrLf;
    else text += QStringLiteral("\t'") + member.help + kCrLf + line + kCrLf;
  }
  return text;
}

QString classDeclaration(const Library& lib, const Class& cls) {
  QString text;
  switch (cls.kind) {
    case ClassKind::Constants:
      text = QStringLiteral("Private Enum ") + cls.name + kCrLf;
      for (const Member& m : cls.members) text += u'\t' + m.name + QStringLiteral(" = ") + valueText(m.value) + kCrLf;
      text += QStringLiteral("End Enum") + kCrLf;
      break;
    case ClassKind::Record:
      if (!cls.help.isEmpty()) text += u'\'' + cls.help + kCrLf;
      text += QStringLiteral("Private Type ") + cls.name + kCrLf;
      for (const Member& m : cls.members) text += u'\t' + m.name + typeSuffix(m.result) + kCrLf;
      text += QStringLiteral("End Type") + kCrLf;
      break;
    case ClassKind::CoClass: {
      text = QStringLiteral("Private Const CLSID_") + cls.name + QStringLiteral(" As String = ") + quoted(cls.guid) +
             kCrLf;
      if (const Class* def = implemented(lib, cls, false)) {
        text += kCrLf + QStringLiteral("' *** default interface *** ") + kCrLf;
        appendInterface(text, lib, *def);
      }
      if (const Class* events = implemented(lib, cls, true)) {
        text += QStringLiteral("' *** default event interface *** ") + kCrLf;
        for (const Member* m : interfaceMembers(lib, *events))
          if (m->invokeKind == InvokeKind::Function)
            text += QStringLiteral("Event ") + m->name + parameters(*m, false) + kCrLf;
      }
      break;
    }
    case ClassKind::Interface:
      appendInterface(text, lib, cls);
      break;
    case ClassKind::Modules:
      for (const Member& m : cls.members) text += memberDeclaration(m, DeclarationForm::Private, &cls);
      break;
  }
  return text;
}

}  // namespace jex::objwiz

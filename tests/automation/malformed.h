// Bodies that no endpoint sends, for the tests that check that a peer sending them gets an
// error instead of crashing the receiver: wrong signatures, wrong types inside the variants,
// too deep nesting, a name that is no unique bus name, absurd sizes.
#pragma once

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariantMap>

namespace jex::testing {

struct MalformedBody {
  const char* name;
  QVariantList args;  // the whole body, also usable as a reply
};

inline QVariant inVariant(const QVariant& v) { return QVariant::fromValue(QDBusVariant(v)); }

inline QVariant structOf(const QString& s, const QVariant& second) {
  QDBusArgument a;
  a.beginStructure();
  a << s;
  if (second.metaType() == QMetaType::fromType<QDBusObjectPath>()) a << second.value<QDBusObjectPath>();
  else a << second.toInt();
  a.endStructure();
  return QVariant::fromValue(a);
}

// Invoke(member, kind, args) bodies; every one must come back as an automation error.
inline QList<MalformedBody> malformedCalls(const QString& member) {
  QVariant deep = QVariant(QVariantList{1});
  for (int i = 0; i < 20; ++i) deep = QVariant(QVariantList{inVariant(deep)});
  QByteArray manyStrings(1 << 21, '\0');  // two million empty strings in one block
  QDBusArgument block;
  block.beginStructure();
  block << manyStrings;
  block.endStructure();
  const QVariant one(1);
  return {
      {"an ai inside av", {member, 1, QVariant(QVariantList{QVariant::fromValue(QList<int>{1, 2})})}},
      {"ai instead of av", {member, 1, QVariant::fromValue(QList<int>{1, 2})}},
      {"a map inside av", {member, 1, QVariant(QVariantList{QVariantMap{{QStringLiteral("k"), one}}})}},
      {"a struct of another kind", {member, 1, QVariant(QVariantList{structOf(member, one)})}},
      {"an object of a well-known name",
       {member, 2,
        QVariant(
            QVariantList{structOf(QStringLiteral("corvane.application"), QVariant::fromValue(QDBusObjectPath("/")))})}},
      {"lists nested 20 deep", {member, 2, QVariant(QVariantList{deep})}},
      {"a block of two million strings", {member, 2, QVariant(QVariantList{QVariant::fromValue(block)})}},
      {"a kind that does not exist", {member, 7, QVariant(QVariantList{})}},
      {"a byte array", {member, 2, QVariant(QVariantList{QByteArray("x")})}},
      {"too few arguments", {member, 1}},
  };
}

}  // namespace jex::testing

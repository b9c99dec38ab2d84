#include "corvane/engine/states.h"

#include <QDir>
#include <QFileInfo>

#include "corvane/engine/automationnames.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/settingsstore.h"

namespace corvane {

namespace {

const QString kProfile = QStringLiteral("Profile");

void store(SettingsStore& s, const QString& section, const QString& key, const QString& value) {
  if (!s.setValue(section, key, value)) throw jex::Error(jex::err::FileError, QStringLiteral("cannot store ") + key);
}

// A number in corvane.ini; accept decides which values may be set.
void numberSwitch(const AddProperty& add, CoreModel& model, const QString& section, const QString& key, int fallback,
                  std::function<bool(int)> accept) {
  add(
      key,
      [&model, section, key, fallback] {
        bool ok = false;
        const int v = model.settings().value(section, key).trimmed().toInt(&ok);
        return QVariant(ok ? v : fallback);
      },
      [&model, section, key, accept](const QVariant& v) {
        const int n = toI32(v);
        if (!accept(n))
          throw jex::Error(jex::err::InvalidCall, QStringLiteral("%1: %2 is not allowed").arg(key).arg(n));
        store(model.settings(), section, key, QString::number(n));
      });
}

// A boolean in corvane.ini ("1" / "0").
void boolSwitch(const AddProperty& add, CoreModel& model, const QString& section, const QString& key, bool fallback) {
  add(
      key,
      [&model, section, key, fallback] {
        const QString v = model.settings().value(section, key).trimmed();
        if (v.isEmpty()) return QVariant(fallback);
        return QVariant(v == u"1" || v.compare(u"true", Qt::CaseInsensitive) == 0 || v == u"-1");
      },
      [&model, section, key](const QVariant& v) {
        store(model.settings(), section, key, toBool(v) ? QStringLiteral("1") : QStringLiteral("0"));
      });
}

}  // namespace

void addProcStateMembers(const AddProperty& add, CoreModel& model) {
  boolSwitch(add, model, ini::General, QStringLiteral("TooltipsStatus"), true);
  numberSwitch(add, model, ini::Braille, QStringLiteral("BrlKeyStat"), 0, [](int n) { return n == 0 || n == 1; });
}

}  // namespace corvane

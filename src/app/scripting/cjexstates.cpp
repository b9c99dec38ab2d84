#include "app/scripting/cjexstates.h"

#include <QHash>

#include "base/log.h"
#include "global/cglobal.h"

namespace jex {

using automation::toBool;
using automation::toI32;

cJexStates::cJexStates(Obj core) : core_(std::move(core)) {}

Obj cJexStates::core() const { return core_.isNothing() ? Jex() : core_; }

bool cJexStates::read(const char* location, const std::function<bool(const Obj&)>& fn) const {
  return trapped(location, false, [&] {
    const Obj c = core();
    if (c.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("no core object"));
    return fn(c);
  });
}

bool cJexStates::Get_MONWINTOGGLE() {
  return read("cJexStates.Get_MONWINTOGGLE",
              [](const Obj& c) { return c.boolean(QStringLiteral("proc.IsMonWinVisible")); });
}

bool cJexStates::Get_SETSPTOGGLE() {
  return read("cJexStates.Get_SETSPTOGGLE", [](const Obj& c) { return c.i32(QStringLiteral("proc.UseSpeech")) == 1; });
}

bool cJexStates::Get_TOOLTIPSTOGGLE() {
  return read("cJexStates.Get_TOOLTIPSTOGGLE",
              [](const Obj& c) { return c.boolean(QStringLiteral("proc.TooltipsStatus")); });
}

bool cJexStates::Get_CHGCURBLKTOGGLE() {
  return read("cJexStates.Get_CHGCURBLKTOGGLE",
              [](const Obj& c) { return c.boolean(QStringLiteral("BrailleInterface.CurBlinkStat")); });
}

bool cJexStates::Get_CHGBRL68() {
  return read("cJexStates.Get_CHGBRL68",
              [](const Obj& c) { return c.i32(QStringLiteral("BrailleInterface.BrailleStyle")) == 8; });
}

bool cJexStates::Get_CHGBRLATRBTOGGLE() {
  return read("cJexStates.Get_CHGBRLATRBTOGGLE",
              [](const Obj& c) { return c.i32(QStringLiteral("BrailleInterface.AttributeState")) != 0; });
}

bool cJexStates::Get_GRADE2TOGGLE() {
  return read("cJexStates.Get_GRADE2TOGGLE",
              [](const Obj& c) { return c.i32(QStringLiteral("BrailleInterface.Grade2Stat")) == 1; });
}

bool cJexStates::Get_BRLKEYTOGGLE() {
  return read("cJexStates.Get_BRLKEYTOGGLE",
              [](const Obj& c) { return c.i32(QStringLiteral("proc.BrlKeyStat")) == 1; });
}

QStringList cJexStates::Get_SpeechSets() {
  QStringList sets;
  trap("cJexStates.Get_SpeechSets", [&] {
    const Obj c = core();
    if (c.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("no core object"));
    SpeechProfiles = c.obj(QStringLiteral("SpeechProfiles"));
    const int n = SpeechProfiles.count();
    for (int i = 1; i <= n; ++i) {
      const Obj p = automation::toObj(SpeechProfiles.call(QStringLiteral("ItemByIndex"), {QVariant(i)}));
      if (p.str(QStringLiteral("Info")).isEmpty()) continue;
      sets << QStringLiteral("USESPSET") + p.str(QStringLiteral("nr")) + u'=' + p.str(QStringLiteral("Name"));
    }
  });
  return sets;
}

std::optional<bool> cJexStates::get(const QString& member) {
  using Getter = bool (cJexStates::*)();
  static const QHash<QString, Getter> table{
      {QStringLiteral("get_monwintoggle"), &cJexStates::Get_MONWINTOGGLE},
      {QStringLiteral("get_setsptoggle"), &cJexStates::Get_SETSPTOGGLE},
      {QStringLiteral("get_tooltipstoggle"), &cJexStates::Get_TOOLTIPSTOGGLE},
      {QStringLiteral("get_chgcurblktoggle"), &cJexStates::Get_CHGCURBLKTOGGLE},
      {QStringLiteral("get_chgbrl68"), &cJexStates::Get_CHGBRL68},
      {QStringLiteral("get_chgbrlatrbtoggle"), &cJexStates::Get_CHGBRLATRBTOGGLE},
      {QStringLiteral("get_grade2toggle"), &cJexStates::Get_GRADE2TOGGLE},
      {QStringLiteral("get_brlkeytoggle"), &cJexStates::Get_BRLKEYTOGGLE},
  };
  const auto it = table.constFind(member.trimmed().toLower());
  if (it == table.constEnd()) return std::nullopt;
  return (this->**it)();
}

std::optional<QStringList> cJexStates::list(const QString& member) {
  using Lister = QStringList (cJexStates::*)();
  static const QHash<QString, Lister> table{
      {QStringLiteral("get_speechsets"), &cJexStates::Get_SpeechSets},
  };
  const auto it = table.constFind(member.trimmed().toLower());
  if (it == table.constEnd()) return std::nullopt;
  return (this->**it)();
}

cJexStates& JexStates() {
  static cJexStates states;
  return states;
}

}  // namespace jex

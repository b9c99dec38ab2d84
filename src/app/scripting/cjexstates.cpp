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

namespace {

using Getter = bool (cJexStates::*)();

// The toggle commands and the members that read their states.
const QList<std::pair<QString, Getter>>& toggles() {
  static const QList<std::pair<QString, Getter>> list{
      {QStringLiteral("MONWINTOGGLE"), &cJexStates::Get_MONWINTOGGLE},
      {QStringLiteral("SETSPTOGGLE"), &cJexStates::Get_SETSPTOGGLE},
      {QStringLiteral("TOOLTIPSTOGGLE"), &cJexStates::Get_TOOLTIPSTOGGLE},
      {QStringLiteral("CHGCURBLKTOGGLE"), &cJexStates::Get_CHGCURBLKTOGGLE},
      {QStringLiteral("CHGBRL68"), &cJexStates::Get_CHGBRL68},
      {QStringLiteral("CHGBRLATRBTOGGLE"), &cJexStates::Get_CHGBRLATRBTOGGLE},
      {QStringLiteral("GRADE2TOGGLE"), &cJexStates::Get_GRADE2TOGGLE},
      {QStringLiteral("BRLKEYTOGGLE"), &cJexStates::Get_BRLKEYTOGGLE},
  };
  return list;
}

}  // namespace

std::optional<bool> cJexStates::get(const QString& member) {
  static const QHash<QString, Getter> table = [] {
    QHash<QString, Getter> t;
    for (const auto& [command, getter] : toggles()) t.insert(QStringLiteral("get_") + command.toLower(), getter);
    return t;
  }();
  const auto it = table.constFind(member.trimmed().toLower());
  if (it == table.constEnd()) return std::nullopt;
  return (this->**it)();
}

QHash<QString, bool> cJexStates::all() {
  QHash<QString, bool> states;
  if (!oneByOne_)
    trap("cJexStates.ToggleStates", [&] {
      const Obj c = core();
      if (c.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("no core object"));
      QStringList told;
      try {
        told = c.get(QStringLiteral("proc.ToggleStates")).toStringList();
      } catch (const Error& e) {
        if (e.number() != err::UnknownMember) throw;
        WriteLog(QStringLiteral("cJexStates: the core has no ToggleStates - its members are asked one by one"),
                 kDetail);
        oneByOne_ = true;
        return;
      }
      for (const QString& s : std::as_const(told)) {
        const qsizetype eq = s.indexOf(u'=');
        if (eq > 0) states.insert(s.left(eq).trimmed().toUpper(), s.mid(eq + 1).trimmed() == u"1");
      }
    });
  if (!states.isEmpty()) return states;
  for (const auto& [command, getter] : toggles()) states.insert(command, (this->*getter)());
  return states;
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

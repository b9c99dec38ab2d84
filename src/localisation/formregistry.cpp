#include "localisation/formregistry.h"

#include "ini/cinifil.h"
#include "localisation/frmlocalizer.h"

namespace jex::loc {

QStringList missingEntries(QWidget* form, cIniFil& ini) {
  QStringList missing;
  if (!form) return missing;
  const QString section = form->objectName();
  auto need = [&](bool present, const QString& key, const char* what) {
    if (!present) missing.append(QStringLiteral("[%1] %2 (%3)").arg(section, key, QLatin1String(what)));
  };
  for (const Control& c : controlsOf(form)) {
    const QString d = DefaultText(c);
    if (d == QLatin1String("---")) continue;
    const QString key = c.key();
    const bool wantsTip = !c.toolTip().isEmpty() && c.kind() != Kind::Label && c.kind() != Kind::MenuItem;
    if (wantsTip) need(!ini.GetRightSide(section, key).isEmpty(), key, "tool tip");
    if (d.startsWith(QLatin1String("--- Tip:"))) continue;
    if (d.startsWith(QLatin1String("--- Items:"))) {
      const bool tabs = c.kind() == Kind::TabStrip;
      for (int n = tabs ? 1 : 0, last = tabs ? c.itemCount() : c.itemCount() - 1; n <= last; ++n) {
        const QString itemKey = key + QStringLiteral("_Item ") + QString::number(n);
        if (!c.itemText(n).isEmpty()) need(!ini.GetLeftSide(section, itemKey).isEmpty(), itemKey, "item");
      }
      continue;
    }
    if (!d.isEmpty()) need(!ini.GetLeftSide(section, key).isEmpty(), key, "caption");
  }
  return missing;
}

}  // namespace jex::loc

// The Braille dialogs in the main window over the stand-in core's own Braille object, with the
// shipped language files; the calls that store or switch are recorded on their way to the core.
#pragma once

#include <QComboBox>
#include <QListWidget>

#include "dialogs/braille/frmbraille.h"
#include "dialogs/braille/frmdevice.h"
#include "ini/cinifil.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/dialogtest.h"

namespace jex::test {

class BrailleDialogs : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    auto bi = std::make_shared<fake::Front>(root.obj(QStringLiteral("BrailleInterface")));
    const Obj behind = root.obj(QStringLiteral("BrailleInterface"));
    for (const char* m : {"SetActiveBrailleDeviceAndPort", "SaveValues", "LoadValues"}) {
      const QString name = QString::fromLatin1(m);
      bi->method(name, 0, 2, [this, behind, name](automation::Args& a) {
        calls << (a.list().isEmpty() ? name : name + u' ' + QVariant(a.list()).toStringList().join(u' '));
        QVariantList args = a.list();
        return behind.call(name, args);
      });
    }
    auto front = std::make_shared<fake::Front>(root);
    front->property(QStringLiteral("BrailleInterface"), [bi] { return automation::fromObj(Obj(bi)); });
    Jex() = Obj(front);
    brl = Obj(bi);
  }

  // The [DEVICES] value of the current language file.
  QString devicesEntry(const QString& key) const {
    cIniFil ini;
    ini.Init(dir.filePath(QStringLiteral("LNG/1031/JEXUIDLG.INI")), false);
    return ini.GetStr(QStringLiteral("DEVICES"), key, QString());
  }

  Obj brl;  // the core's Braille object, as the dialogs reach it
  QStringList calls;
};

}  // namespace jex::test

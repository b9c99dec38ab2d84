// The Braille dialogs in the main window over the stand-in core's own Braille object, with the
// shipped language files; the calls that store or switch are recorded on their way to the core.
#pragma once

#include <QComboBox>
#include <QListWidget>

#include "dialogs/braille/frmbraille.h"
#include "dialogs/braille/frmdevice.h"
#include "tests/app/mainwindow/mainwindow_fixture.h"
#include "widgets/formservice.h"

namespace jex::test {

// Moves a closed list to text with the arrow keys, as the user does.
inline void choose(QComboBox* c, const QString& text) {
  c->setFocus();
  QTest::keyClick(c, Qt::Key_Home);
  for (int i = 0; i < c->count() && c->currentText() != text; ++i) QTest::keyClick(c, Qt::Key_Down);
  EXPECT_EQ(c->currentText(), text);
}
inline void press(QWidget* w, Qt::Key k = Qt::Key_Space) {
  w->setFocus();
  QTest::keyClick(w, k);
}

class BrailleDialogs : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    for (const char* lng : {"1031", "1033"}) {
      QDir().mkpath(dir.filePath(QStringLiteral("LNG/") + QLatin1String(lng)));
      QFile::copy(QStringLiteral(JEX_SOURCE_DIR "/data/LNG/") + QLatin1String(lng) + QStringLiteral("/JEXUIDLG.INI"),
                  dir.filePath(QStringLiteral("LNG/") + QLatin1String(lng) + QStringLiteral("/JEXUIDLG.INI")));
    }
    frmLocalizer().setLNG(QStringLiteral("1031"));
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

  template <class Form>
  Form* open(const char* name) {
    if (!mdi->isActiveWindow()) showByKey();
    EXPECT_TRUE(mdi->openForm(QString::fromLatin1(name), QStringLiteral("Show"), {}));
    auto* f = qobject_cast<Form*>(ChildDialog::find(QString::fromLatin1(name)));
    EXPECT_TRUE(f && f->isVisible()) << name << " did not open";
    return f;
  }
  // The dialog on its own, as the accessibility check walks it (in the main window Tab goes
  // on to the window's buttons).
  template <class Form>
  std::unique_ptr<Form> alone(const char* name) {
    return std::unique_ptr<Form>(qobject_cast<Form*>(forms::create(QString::fromLatin1(name)).release()));
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

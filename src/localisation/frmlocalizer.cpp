#include "localisation/frmlocalizer.h"

#include "base/codepages.h"
#include "base/error.h"
#include "base/log.h"
#include "base/paths.h"
#include "context/appcontext.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStatusBar>
#include <QWidget>

namespace jex {

namespace {

const QString kGlobal = QStringLiteral("Global");
const QString kTip = QStringLiteral("--- Tip: ");
const QString kItems = QStringLiteral("--- Items: ");
const QString kNone = QStringLiteral("---");

// Combo and list boxes whose items are data (devices, voices, users ...) or the captions of other
// controls (the Braille blank lists show chkHSpace(j), chkVSpace(j)): only their tip is translated.
bool isDataList(const QString& name) {
  static const QStringList names{
      QStringLiteral("cboDevice"),    QStringLiteral("cboPort"),    QStringLiteral("cboBrailleTable"),
      QStringLiteral("lstHSpace"),    QStringLiteral("lstVSpace"),  QStringLiteral("cboOSMode"),
      QStringLiteral("cboVoice"),     QStringLiteral("cboTable"),   QStringLiteral("cboUser"),
      QStringLiteral("cboSpeechSet"), QStringLiteral("cboLanguage")};
  return names.contains(name, Qt::CaseInsensitive);
}

// The number of an item key as it is printed: a blank in the sign position of a positive number.
QString itemKey(const QString& key, int n) {
  return key + QStringLiteral("_Item") + (n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n));
}

std::unique_ptr<class frmLocalizer> g_localizer;

// Releasing the right mouse button with Shift and Ctrl held on any form opens the translation
// editor on that form (the dialog in the main window's frame, else the window). The main
// window's status bar keeps that gesture for quitting; the editor is not edited by itself.
class EditGesture : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonRelease || !watched->isWidgetType()) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const Qt::KeyboardModifiers held =
        mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (mouse->button() != Qt::RightButton || held != (Qt::ShiftModifier | Qt::ControlModifier)) return false;
    for (QWidget* w = static_cast<QWidget*>(watched); w; w = w->parentWidget()) {
      if (qobject_cast<QStatusBar*>(w) || w->window()->objectName() == QLatin1String("frmLocalizer")) return false;
      if (w->property(loc::kFormProperty).toBool() || w->isWindow()) {
        trap("frmLocalizer.Form_MouseUp", [&] { frmLocalizer().EditControls(w); });
        return true;
      }
    }
    return false;
  }
};

}  // namespace

QString DefaultText(const loc::Control& c) {
  using loc::Kind;
  const QString name = c.name();
  if (name.size() >= 4 && name[3] == QLatin1Char('_')) return kTip;
  if (name.startsWith(QLatin1String("nl_"))) return kNone;
  switch (c.kind()) {
    case Kind::CommandButton:
    case Kind::OptionButton:
    case Kind::CheckBox:
    case Kind::Frame:
    case Kind::Label:
      return c.caption();
    case Kind::MenuItem:
      return c.isSeparator() || name == QLatin1String("mnuVoiceDel") ? kNone : c.caption();
    case Kind::List:
      return isDataList(name) ? kTip : kItems + QString::number(c.itemCount());
    case Kind::TabStrip:
      return kItems + QString::number(c.itemCount());
    case Kind::TreeView:
      return kTip;
    case Kind::TextBox:
      return c.caption();
    default:
      return kNone;
  }
}

// ---------------------------------------------------------------------------------------------

frmLocalizer::frmLocalizer() : dlgIni_(std::make_unique<cIniFil>()) {
  static bool gesture = false;  // one filter for the program, whichever instance is the one
  if (!gesture && qApp) {
    qApp->installEventFilter(new EditGesture(qApp));
    gesture = true;
  }
  hooks_.notify = [this](const QString& cmd) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && !w->objectName().isEmpty()) Localize(w);
  };
  hooks_.sendToCore = [](const QString& cmd) {
    trap("frmLocalizer.sendToCore", [&] { appContext().core().call(QStringLiteral("proc.AddToCMDQueue"), {cmd}); });
  };
  hooks_.quit = [] { QCoreApplication::quit(); };
}

QString frmLocalizer::coreDir() {
  return trapped("frmLocalizer.coreDir", QString(), [] {
    QString dir = appContext().appPath();
    Obj& core = appContext().core();
    if (dir.isEmpty() && !core.isNothing()) dir = core.str(QStringLiteral("proc.AppPath")).trimmed();
    return dir.isEmpty() ? dir : withTrailingSlash(dir);
  });
}

QString frmLocalizer::languageFile(const QString& lngDir) {
  const QString exact = lngDir + QStringLiteral("JEXUIDLG.INI");
  if (QFileInfo(exact).isFile()) return exact;
  const QStringList found = QDir(lngDir).entryList({QStringLiteral("JEXUIDLG.INI")}, QDir::Files);
  return found.isEmpty() ? exact : lngDir + found.first();
}

void frmLocalizer::setLNG(const QString& lng) {
  trap("frmLocalizer.LNG", [&] {
    lng_ = lng;
    lngDir_ = coreDir() + QStringLiteral("LNG/") + lng + QLatin1Char('/');
    auto ini = std::make_unique<cIniFil>();
    const QString file = languageFile(lngDir_);
    ini->Init(file, false);  // Western first: [Global] is plain ASCII in every code page
    WriteLog(QStringLiteral("DLGINI: ") + file, kDetail);
    charset_ = ini->GetLong(kGlobal, QStringLiteral("Charset"), 0);
    if (const int codePage = codepage::ofCharset(charset_)) ini->SetCodePage(codePage);
    rtl_ = ini->GetLong(kGlobal, QStringLiteral("RightToLeft"), 0) == 1;
    dlgIni_ = std::move(ini);

    CiCollection<QString> terms;
    Array2<QString> entries;
    dlgIni_->SectionLoad(entries, QStringLiteral("CapKeys"));
    for (int i = 1; i <= entries.ubound(2); ++i)
      if (!terms.contains(entries(1, i))) terms.add(entries(2, i), entries(1, i));
    terms_ = std::move(terms);
  });
}

QString frmLocalizer::GetCapString(const QString& term) const {
  return trapped("frmLocalizer.GetCapString", term, [&] { return terms_.contains(term) ? terms_.item(term) : term; });
}

// The editor is the registered form "frmLocalizer" of the dialogs; without it one log line.
void frmLocalizer::EditControls(QWidget* form) {
  trap("frmLocalizer.EditControls", [&] {
    if (!form) return;
    QWidget* editor = forms::load(QStringLiteral("frmLocalizer"), "frmLocalizer.EditControls");
    if (!editor || !QMetaObject::invokeMethod(editor, "EditControls", Q_ARG(QWidget*, form)))
      WriteLog(QStringLiteral("EditControls: ") + form->objectName() +
                   QStringLiteral(" (the translation editor is not available)"),
               kDetail);
  });
}

void frmLocalizer::setDirection(QWidget* w) const {
  if (w) w->setLayoutDirection(rtl_ ? Qt::RightToLeft : Qt::LeftToRight);
}

void frmLocalizer::Localize(QWidget* form) {
  if (!form) return;
  const QString section = form->objectName();
  WriteLog(QStringLiteral("localizing ") + section + QStringLiteral(" from ") + DlgIniPath(), kDetail);
  if (section == QLatin1String("frmMDI")) menuTips_.clear();
  trap("frmLocalizer.Localize", [&] { setDirection(form); });
  const QList<loc::Control> controls = loc::controlsOf(form);
  for (const loc::Control& c : controls)
    if (c.kind() == loc::Kind::PictureBox)
      trap("frmLocalizer.Localize", [&] {
        loc::nudge(c.widget());
        setDirection(c.widget());
      });
  for (const loc::Control& c : controls) localizeControl(section, c);
  ui::refreshNames(form);  // names copied from captions follow the new captions
}

void frmLocalizer::localizeControl(const QString& section, const loc::Control& c) {
  using loc::Kind;
  const QString key = c.key();
  const QByteArray where = (QStringLiteral("Loc_Ctl in frmLocalizer.Localize; ") + key).toUtf8();
  trap(where.constData(), [&] {
    const QString d = DefaultText(c);
    WriteLog(QStringLiteral("Loc_Ctl: ") + key + QStringLiteral(", ") + d, kFirstRun);
    if (d == kNone) return;
    if (d.startsWith(QLatin1String("--- Tip:"))) {
      const QString tip = dlgIni_->GetRightSide(section, key);
      if (!tip.isEmpty()) c.setToolTip(tip);
      return;
    }
    if (d.startsWith(QLatin1String("--- Items:"))) return localizeItems(section, c);
    const QString cap = dlgIni_->GetLeftSide(section, key);
    if (!cap.isEmpty()) c.setCaption(cap);
    const QString tip = dlgIni_->GetRightSide(section, key);
    if (tip.isEmpty() || tip == kNone || c.kind() == Kind::Label) return;
    if (c.kind() == Kind::MenuItem)
      menuTips_.add(tip, c.caption());  // a caption already present keeps its first tip (error 457)
    else c.setToolTip(tip);
  });
  // Font character set: nothing to do (see the header). Then the layout and the direction.
  trap(where.constData(), [&] {
    loc::nudge(c.widget());
    switch (c.kind()) {
      case Kind::TabStrip:
      case Kind::RichTextBox:
      case Kind::PictureBox:
      case Kind::Label:
        return;
      default:
        for (QWidget* w : c.directionWindows()) setDirection(w);
    }
  });
}

void frmLocalizer::localizeItems(const QString& section, const loc::Control& c) {
  const QString key = c.key();
  const bool tabs = c.kind() == loc::Kind::TabStrip;
  const int first = tabs ? 1 : 0;
  const int last = tabs ? c.itemCount() : c.itemCount() - 1;
  for (int n = first; n <= last; ++n) {
    const QString text = dlgIni_->GetLeftSide(section, itemKey(key, n));
    if (!text.isEmpty()) c.setItemText(n, text);
  }
  const QString tip = dlgIni_->GetRightSide(section, key);
  if (!tip.isEmpty()) c.setToolTip(tip);
}

void frmLocalizer::ChangeLanguage(const QString& lng) {
  trap("frmLocalizer.ChangeLanguage", [&] {
    cIniFil probe;
    probe.Init(languageFile(coreDir() + QStringLiteral("LNG/") + lng + QLatin1Char('/')), false);
    const bool newRtl = probe.GetLong(kGlobal, QStringLiteral("RightToLeft"), 0) == 1;
    WriteLog(QStringLiteral("language change: ") + lng_ + QStringLiteral(" -> ") + lng, kTraffic);
    appContext().core().call(QStringLiteral("proc.ChangeJEXLanguage"), {lng});
    if (newRtl == rtl_) {
      setLNG(appContext().core().str(QStringLiteral("proc.DefaultLng")).trimmed());
      if (hooks_.notify) hooks_.notify(QStringLiteral("UI_LNGCHANGE"));
      return;
    }
    if (hooks_.sendToCore) {
      for (int i = 0; i < 10; ++i) hooks_.sendToCore(QStringLiteral("DELAYPROCESSING"));
      hooks_.sendToCore(QStringLiteral("UI_RELOAD"));
    }
    if (hooks_.quit) hooks_.quit();
  });
}

class frmLocalizer& frmLocalizer() {
  if (!g_localizer) g_localizer = std::make_unique<class frmLocalizer>();
  return *g_localizer;
}

void resetLocalizer() { g_localizer.reset(); }

}  // namespace jex

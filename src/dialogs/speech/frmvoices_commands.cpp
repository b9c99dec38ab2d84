// frmVoices: the speed and volume commands, AllSpeeds / AllVolumes, the voice management
// (delete, rename, information) and the new-voice panel with its tree of the core's modes.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frminputbox.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/frmvoices.h"
#include "dialogs/speech/voicevalues.h"
#include "global/cglobal.h"
#include "global/sounds.h"
#include "ini/cinifil.h"
#include "localisation/frmlocalizer.h"
#include "widgets/accessibility.h"

namespace jex {
namespace {
constexpr int kStep = 5;
constexpr int kVolumeFloor = 1;  // VOLUMEDN never silences a voice

// The mode name without its prefix ("eSpeak:German" gives "German").
QString withoutPrefix(const QString& mode) {
  const qsizetype colon = mode.indexOf(u':');
  return (colon >= 1 ? mode.mid(colon + 1) : mode).trimmed();
}

// A script's percentage: a number clamped to 0..100; false (logged) for anything else.
bool percentOf(const QVariant& v, const char* where, qint32& out) {
  bool ok = false;
  const double d = v.toString().trimmed().toDouble(&ok);
  if (!ok) {
    WriteLog(QString::fromLatin1(where) + QStringLiteral(": not a number, nothing changed: ") + v.toString().left(80),
             kTraffic);
    return false;
  }
  out = qint32(qint16(std::nearbyint(std::clamp(d, -32768.0, 32767.0))));
  if (out < 0 || out > 100) {
    WriteLog(QString::fromLatin1(where) + QStringLiteral(": %1 clamped to 0..100").arg(out), kTraffic);
    out = std::clamp(out, 0, 100);
  }
  return true;
}

// The tree's images, shipped as AppPath + "icons/" + name + ".png": "female", "male", "Speaker",
// "LNG_" + locale number, and "LNG" for a language without an image of its own.
QIcon modeIcon(const QString& name) {
  static QHash<QString, QIcon> cache;
  const QString file = gGlobal().AppPath + QStringLiteral("icons/") + name + QStringLiteral(".png");
  auto it = cache.find(file);
  if (it == cache.end()) it = cache.insert(file, QFileInfo::exists(file) ? QIcon(file) : QIcon());
  return *it;
}

// The fields of one speech mode the tree of modes shows.
struct ModeFields {
  QString name;
  QString lcid;
  QString product;
  bool female = false;
};

// Every mode of the core's SpeechModes in one call (GetModeList); a core that does not know
// that method is read mode by mode.
QList<ModeFields> readModes(const Obj& modes) {
  QList<ModeFields> out;
  try {
    const QVariantList rows = modes.call(QStringLiteral("GetModeList")).toList();
    out.reserve(rows.size());
    for (const QVariant& row : rows) {
      const QStringList f = row.toStringList();
      if (f.size() < 4) throw Error(err::TypeMismatch, QStringLiteral("GetModeList: a row of %1 fields").arg(f.size()));
      out.append({f[0], f[1], f[2], f[3].trimmed() == QLatin1String("1")});
    }
    return out;
  } catch (const Error& e) {
    if (e.number() != err::UnknownMember) throw;
  }
  WriteLog(QStringLiteral("frmVoices.FillModes: the core has no GetModeList, the modes are read one by one"), kDetail);
  const int n = modes.count();
  for (int i = 1; i <= n; ++i) {
    const Obj mode = modes.itemObj(i);
    out.append({mode.str(QStringLiteral("Mode")), mode.str(QStringLiteral("LanguageID")),
                mode.str(QStringLiteral("ProductName")), mode.i32(QStringLiteral("Gender")) == 1});
  }
  return out;
}
}  // namespace

// ---------------------------------------------------------------- speed and volume commands

void frmVoices::changeUsedVoices(const char* where, const std::function<void(Obj& voice)>& change) {
  trap(where, [&] {
    const QString info = Jex().str(QStringLiteral("SpeechProfile.Info"));
    Obj voices = Jex().obj(QStringLiteral("SpeechVoices"));
    const int n = voices.count();
    for (int i = 1; i <= n; ++i) {
      Obj v = itemAt(voices, i);
      if (v.isNothing()) continue;
      const QString name = v.str(QStringLiteral("InternalName"));
      if (name.isEmpty() || !info.contains(name, Qt::CaseInsensitive)) continue;
      change(v);
    }
  });
}

void frmVoices::stepSpeed(const Obj& voice, int delta, int floor) {
  const cGlobal& g = gGlobal();
  const int p =
      std::clamp(ValueToPercent(voice.i32(QStringLiteral("speed")), g.SpeedMin, g.SpeedMax) + delta, floor, 100);
  voice.set(QStringLiteral("speed"), PercentToValue(p, g.SpeedMin, g.SpeedMax));
}

void frmVoices::refreshAfterCommand(bool speak) {
  trap("frmVoices.RefreshAfterCommand", [&] {
    if (isVisible()) voiceSelected();
    if (speak) SpeakTestText();
  });
}

void frmVoices::SpeakTestText() {
  trap("frmVoices.SpeakTestText", [this] {
    Jex().call(QStringLiteral("proc.SpeechStop"));
    gGlobal().InDoEvents = true;
    QCoreApplication::processEvents();
    gGlobal().InDoEvents = false;
    Jex().call(QStringLiteral("proc.SpeechOutVoice"), {caption("lblTestText"), 1});
  });
}

void frmVoices::SPEEDUP() {
  changeUsedVoices("frmVoices.SPEEDUP", [this](Obj& v) { stepSpeed(v, kStep, 0); });
  refreshAfterCommand(true);
}

void frmVoices::SPEEDDN() {
  changeUsedVoices("frmVoices.SPEEDDN", [this](Obj& v) { stepSpeed(v, -kStep, 0); });
  refreshAfterCommand(true);
}

void frmVoices::SpeedMax() {
  changeUsedVoices("frmVoices.SpeedMax", [](Obj& v) { v.set(QStringLiteral("speed"), gGlobal().SpeedMax); });
  refreshAfterCommand(true);
}

void frmVoices::SpeedMin() {
  changeUsedVoices("frmVoices.SpeedMin", [](Obj& v) { v.set(QStringLiteral("speed"), gGlobal().SpeedMin); });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEUP() {
  changeUsedVoices("frmVoices.VOLUMEUP", [](Obj& v) {
    const qint32 max = gGlobal().VolMax;
    const int p = std::min(ValueToPercent(volumeLevel(v.i32(QStringLiteral("volume"))), 0, max) + kStep, 100);
    v.set(QStringLiteral("volume"), volumeValue(PercentToValue(p, 0, max)));
  });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEDN() {
  changeUsedVoices("frmVoices.VOLUMEDN", [](Obj& v) {
    const qint32 max = gGlobal().VolMax;
    const int p = std::max(ValueToPercent(volumeLevel(v.i32(QStringLiteral("volume"))), 0, max) - kStep, kVolumeFloor);
    v.set(QStringLiteral("volume"), volumeValue(PercentToValue(p, 0, max)));
  });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEMAX() {
  changeUsedVoices("frmVoices.VOLUMEMAX",
                   [](Obj& v) { v.set(QStringLiteral("volume"), volumeValue(gGlobal().VolMax)); });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEMIN() {
  changeUsedVoices("frmVoices.VOLUMEMIN", [](Obj& v) { v.set(QStringLiteral("volume"), 0); });
  refreshAfterCommand(true);
}

void frmVoices::AllSpeeds(const QVariant& percent) {
  qint32 p = 0;
  if (!trapped("frmVoices.AllSpeeds", false, [&] { return percentOf(percent, "AllSpeeds", p); })) return;
  changeUsedVoices("frmVoices.AllSpeeds", [p](Obj& v) {
    v.set(QStringLiteral("speed"), PercentToValue(p, gGlobal().SpeedMin, gGlobal().SpeedMax));
  });
  refreshAfterCommand(false);
}

void frmVoices::AllVolumes(const QVariant& percent) {
  qint32 p = 0;
  if (!trapped("frmVoices.AllVolumes", false, [&] { return percentOf(percent, "AllVolumes", p); })) return;
  changeUsedVoices("frmVoices.AllVolumes", [p](Obj& v) {
    v.set(QStringLiteral("volume"), volumeValue(PercentToValue(p, 0, gGlobal().VolMax)));
  });
  refreshAfterCommand(false);
}

// Only the navigation voice (source 2); the core hears that the change is done.
void frmVoices::SPEEDUPNOW() {
  trap("frmVoices.SPEEDUPNOW", [this] {
    stepSpeed(itemAt(Jex().obj(QStringLiteral("SpeechProfile")), 2).obj(QStringLiteral("Voice")), kStep, 0);
  });
  queueForCore(QStringLiteral("SPEEDSETDONE"));
}

void frmVoices::SPEEDDNNOW() {
  trap("frmVoices.SPEEDDNNOW", [this] {
    stepSpeed(itemAt(Jex().obj(QStringLiteral("SpeechProfile")), 2).obj(QStringLiteral("Voice")), -kStep, 0);
  });
  queueForCore(QStringLiteral("SPEEDSETDONE"));
}

// ---------------------------------------------------------------- voice management

void frmVoices::VoiceDel(const QVariant& indexValue) {
  trap("frmVoices.VoiceDel", [&] {
    const int index = qint16(automation::toI32(indexValue));
    Obj voices = Jex().obj(QStringLiteral("SpeechVoices"));
    Obj voice = itemAt(voices, index);
    const QString name = voice.str(QStringLiteral("InternalName"));
    const QString friendly = voice.str(QStringLiteral("FriendlyName"));
    Obj profile = Jex().obj(QStringLiteral("SpeechProfile"));
    QString users;
    bool focusUses = false;
    const int n = profile.count();
    for (int i = 1; i <= n; ++i) {
      Obj entry = itemAt(profile, i);
      if (entry.str(QStringLiteral("VoiceName")) != name) continue;
      users +=
          QStringLiteral(", ") + automation::toStr(entry.call(QStringLiteral("LocalizedName"), {frmLocalizer().LNG()}));
      if (i == 1) focusUses = true;
    }
    const auto pump = [] {
      gGlobal().InDoEvents = true;
      QCoreApplication::processEvents();
      gGlobal().InDoEvents = false;
    };
    if (users.isEmpty()) {
      WriteLog(QStringLiteral("Removing Voice: ") + name, kDetail);
      Jex().call(QStringLiteral("proc.SpeechStop"));
      pump();
      voices.call(QStringLiteral("RemoveByIndex"), {index});
      Jex().call(QStringLiteral("proc.SpeechStop"));
      LoadVoiceList();
    } else if (focusUses) {
      MsgBoxEx(friendly + u' ' + caption("lblNoDelete"), msgbox::kOkOnly);
    } else if (MsgBoxEx(friendly + users + u' ' + caption("lblInUse"), msgbox::kYesNo) == msgbox::Yes) {
      WriteLog(QStringLiteral("Removing Voice: ") + name, kDetail);
      voices.call(QStringLiteral("RemoveByIndex"), {index});
      Jex().call(QStringLiteral("proc.SpeechStop"));
      pump();
      LoadVoiceList();
    }
    if (!profile_.isNothing()) sourceSelected();
  });
}

void frmVoices::VoiceRename() {
  trap("frmVoices.VoiceRename", [this] {
    const QString name = InputBoxEx(cboVoice()->currentText() + u' ' + caption("lblEnterName"));
    if (name.isEmpty() || entry_.isNothing()) return;
    entry_.obj(QStringLiteral("Voice")).set(QStringLiteral("FriendlyName"), name);
    LoadVoiceList();
    sourceSelected();
  });
}

void frmVoices::VoiceInfo() {
  trap("frmVoices.VoiceInfo", [this] {
    txtInfo()->setEnabled(true);
    txtInfo()->setCursorPosition(0);
    txtInfo()->setFocus(Qt::OtherFocusReason);
  });
}

void frmVoices::cmdVoiceMenuClick() {
  trap("frmVoices.cmdVoiceMenu_Click", [this] {
    if (QMenu* m = voicesMenu()) m->popup(cmdVoiceMenu()->mapToGlobal(QPoint(0, cmdVoiceMenu()->height())));
  });
}

// ---------------------------------------------------------------- the new-voice panel

void frmVoices::VoiceNew() {
  trap("frmVoices.VoiceNew", [this] {
    if (Jex().obj(QStringLiteral("SpeechVoices")).count() <= kMaxVoiceEntries) ShowNewVoicePanel(true);
    else MsgBoxEx(caption("lblMax9Voices"), msgbox::kOkOnly);
  });
}

void frmVoices::ShowNewVoicePanel(bool show) {
  trap("frmVoices.ShowNewVoicePanel", [&] {
    if (picNew_->isVisibleTo(this) == show) return;
    // Closing: the focus leaves the panel before it hides, so that it does not wander on.
    if (!show && picNew_->isAncestorOf(QApplication::focusWidget())) {
      cmdVoiceMenu_->setEnabled(true);
      cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
    }
    // Opening: the tree is filled and its language chosen before the panel shows, since the focus
    // may move into it as the controls beside it are disabled, and an entry made current while the
    // tree has the focus is announced in place of the tree.
    if (show) {
      if (auto* l = findChild<QLabel*>(QStringLiteral("lblNewVoice")))
        treModes_->setAccessibleName(ui::plainCaption(l->text()));
      if (treModes_->topLevelItemCount() == 0) fillModes();
      QTreeWidgetItem* language = nullptr;
      const QString wanted = QStringLiteral("LNG_") + frmLocalizer().LNG();
      for (int i = 0; i < treModes_->topLevelItemCount() && !language; ++i)
        if (treModes_->topLevelItem(i)->data(0, Qt::UserRole).toString() == wanted)
          language = treModes_->topLevelItem(i);
      if (!language && treModes_->topLevelItemCount() > 0) language = treModes_->topLevelItem(0);
      if (language) {
        language->setExpanded(true);
        {
          // The view would report its new current entry as the focus although it has none yet.
          const QSignalBlocker quiet(treModes_->selectionModel());
          treModes_->setCurrentItem(language);
        }
        modeClicked(language);
        if (QTreeWidgetItem* product = language->child(0)) {
          product->setExpanded(true);
          if (QTreeWidgetItem* mode = product->child(0)) treModes_->scrollToItem(mode);
        }
      }
    }
    for (QWidget* w : {static_cast<QWidget*>(picNew_), static_cast<QWidget*>(cmdAddVoice_),
                       static_cast<QWidget*>(txtName_), static_cast<QWidget*>(lblName_)})
      w->setVisible(show);
    picSettings_->setVisible(!show);
    cmdOK_->setVisible(!show);
    for (QWidget* w :
         {static_cast<QWidget*>(cboSource_), static_cast<QWidget*>(cboVoice_), static_cast<QWidget*>(cboTable_),
          static_cast<QWidget*>(lblTable_), static_cast<QWidget*>(cmdVoiceMenu_)})
      w->setEnabled(!show);
    if (!show) return;
    treModes_->setFocus(Qt::OtherFocusReason);
    queueForCore(QStringLiteral("GOFOCUS"));
  });
}

void frmVoices::fillModes() {
  trap("frmVoices.FillModes", [this] {
    cIniFil names;
    names.Init(gGlobal().AppPath + QStringLiteral("LNG/lngnames.ini"), false);
    const QString section = Jex().str(QStringLiteral("proc.DefaultLng")).trimmed();
    modes_ = Jex().obj(QStringLiteral("SpeechModes"));
    treModes_->clear();
    QHash<QString, QTreeWidgetItem*> nodes;
    const QList<ModeFields> modes = readModes(modes_);
    for (qsizetype i = 0; i < modes.size(); ++i) {
      const QString& lcid = modes[i].lcid;
      const QString& product = modes[i].product;
      const QString& name = modes[i].name;
      const QString gender = modes[i].female ? QStringLiteral("female") : QStringLiteral("male");
      const QString lngKey = QStringLiteral("LNG_") + lcid;
      const QString prdKey = lngKey + QStringLiteral("_PRD_") + product;
      QTreeWidgetItem* lngNode = nodes.value(lngKey);
      if (!lngNode) {
        lngNode = new QTreeWidgetItem(treModes_, {names.GetStr(section, lcid, lcid)});
        lngNode->setData(0, Qt::UserRole, lngKey);
        QIcon icon = modeIcon(lngKey);
        lngNode->setIcon(0, icon.isNull() ? modeIcon(QStringLiteral("LNG")) : icon);
        nodes.insert(lngKey, lngNode);
      }
      QTreeWidgetItem* prdNode = nodes.value(prdKey);
      if (!prdNode) {
        prdNode = new QTreeWidgetItem(lngNode, {product});
        prdNode->setData(0, Qt::UserRole, prdKey);
        prdNode->setIcon(0, modeIcon(QStringLiteral("Speaker")));
        nodes.insert(prdKey, prdNode);
      }
      auto* modeNode = new QTreeWidgetItem(prdNode, {withoutPrefix(name)});
      modeNode->setData(0, Qt::UserRole, name);
      modeNode->setIcon(0, modeIcon(gender));
      WriteLog(QStringLiteral("mode %1 %2 %3 %4").arg(name, gender, prdKey).arg(i + 1), kDetail);
    }
    treModes_->sortItems(0, Qt::AscendingOrder);
  });
}

void frmVoices::modeClicked(QTreeWidgetItem* item) {
  trap("frmVoices.treModes_NodeClick", [&] {
    const bool mode = item && isModeKey(item->data(0, Qt::UserRole).toString());
    txtName_->setText(mode ? item->text(0) : QString());
    txtName_->setEnabled(mode);
    cmdAddVoice_->setEnabled(mode);
  });
}

void frmVoices::cmdAddVoiceClick() {
  trap("frmVoices.cmdAddVoice_Click", [this] {
    if (txtName_->text().isEmpty()) {
      PlaySound(QStringLiteral("error"));
      return;
    }
    QTreeWidgetItem* item = treModes_->currentItem();
    const QString key = item ? item->data(0, Qt::UserRole).toString() : QString();
    WriteLog(QStringLiteral("try create Voice: ") + key, kDetail);
    Obj voices = Jex().obj(QStringLiteral("SpeechVoices"));
    const QString created = automation::toStr(voices.call(QStringLiteral("CreateVoice"), {key}));
    WriteLog(QStringLiteral("voice created: ") + created, kDetail);
    if (!created.isEmpty()) {
      automation::toObj(voices.call(QStringLiteral("ItemByName"), {created}))
          .set(QStringLiteral("FriendlyName"), txtName_->text());
      LoadVoiceList();
      sourceSelected();
    } else {
      WriteLog(QStringLiteral("CreateVoice NOT successfull!"), kDetail);
      MsgBoxEx(QStringLiteral("could NOT create Voice !"), msgbox::kOkOnly);
    }
    ShowNewVoicePanel(false);
    cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
  });
}

}  // namespace jex

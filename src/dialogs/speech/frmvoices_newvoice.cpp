// frmVoices: the voice management (delete, rename, information) and the new-voice panel with its
// tree of the core's modes.
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

#include <QPlainTextEdit>
#include "dialogs/speech/voicevalues.h"
#include "global/cglobal.h"
#include "global/sounds.h"
#include "ini/cinifil.h"
#include "localisation/frmlocalizer.h"
#include "widgets/accessibility.h"

namespace jex {
namespace {
// The tree's images, shipped as AppPath + "icons/" + name + ".png": "female", "male", "Speaker",
// "LNG_" + locale number, and "LNG" for a language without an image of its own.
QIcon modeIcon(const QString& name) {
  static QHash<QString, QIcon> cache;
  const QString file = gGlobal().AppPath + QStringLiteral("icons/") + name + QStringLiteral(".png");
  auto it = cache.find(file);
  if (it == cache.end()) it = cache.insert(file, QFileInfo::exists(file) ? QIcon(file) : QIcon());
  return *it;
}
}  // namespace

// ---------------------------------------------------------------- voice management

void frmVoices::VoiceDel(const QVariant& indexValue) {
  trap("frmVoices.VoiceDel", [&] {
    const int index = qint16(automation::toI32(indexValue));
    const VoiceProfile::Users users = model_.readUsers(index, frmLocalizer().LNG());
    const auto pump = [] {
      gGlobal().InDoEvents = true;
      QCoreApplication::processEvents();
      gGlobal().InDoEvents = false;
    };
    if (users.sources.isEmpty()) {
      WriteLog(QStringLiteral("Removing Voice: ") + users.name, kDetail);
      Jex().call(QStringLiteral("proc.SpeechStop"));
      pump();
      model_.removeVoice(index);
      Jex().call(QStringLiteral("proc.SpeechStop"));
      LoadVoiceList();
    } else if (users.focus) {
      MsgBoxEx(users.friendlyName + u' ' + hiddenText("lblNoDelete"), msgbox::kOkOnly);
    } else if (MsgBoxEx(users.friendlyName + users.sources + u' ' + hiddenText("lblInUse"), msgbox::kYesNo) ==
               msgbox::Yes) {
      WriteLog(QStringLiteral("Removing Voice: ") + users.name, kDetail);
      model_.removeVoice(index);
      Jex().call(QStringLiteral("proc.SpeechStop"));
      pump();
      LoadVoiceList();
    }
    if (model_.sourceCount() > 0) sourceSelected();
  });
}

void frmVoices::VoiceRename() {
  trap("frmVoices.VoiceRename", [this] {
    const QString name = InputBoxEx(cboVoice()->currentText() + u' ' + hiddenText("lblEnterName"));
    const VoiceProfile::Voice* v = entry_ > 0 ? model_.voiceOf(entry_) : nullptr;
    if (name.isEmpty() || !v) return;
    model_.rename(v->internalName, name);
    LoadVoiceList();
    sourceSelected();
  });
}

void frmVoices::VoiceInfo() {
  trap("frmVoices.VoiceInfo", [this] {
    txtInfo()->setEnabled(true);
    txtInfo()->moveCursor(QTextCursor::Start);
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
    if (model_.readVoiceCount() <= kMaxVoiceEntries) ShowNewVoicePanel(true);
    else MsgBoxEx(hiddenText("lblMax9Voices"), msgbox::kOkOnly);
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
    cmdOK()->setVisible(!show);
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
    treModes_->clear();
    QHash<QString, QTreeWidgetItem*> nodes;
    const QList<VoiceProfile::Mode> modes = model_.readModes();
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
      auto* modeNode = new QTreeWidgetItem(prdNode, {VoiceProfile::withoutPrefix(name)});
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
    if (!model_.createVoice(key, txtName_->text()).isEmpty()) {
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

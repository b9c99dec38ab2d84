// frmVoices: controls, load, the source / voice / table handlers, the sliders, OK / Cancel and
// the core's voice-select question. The voice management and the new-voice panel are in
// frmvoices_newvoice.cpp, the commands in frmvoices_actions.cpp.
#include "dialogs/speech/frmvoices.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "base/paths.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/speech/clsmixer.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/speechsetframe.h"
#include "dialogs/speech/voicevalues.h"
#include "global/cglobal.h"
#include "global/cnotifysink.h"
#include "localisation/localizable.h"
#include "widgets/accessibility.h"
#include "widgets/buttonkeys.h"
#include "widgets/formservice.h"
#include "widgets/listcommit.h"
#include "widgets/named.h"

namespace jex {
namespace {
QString u8(const char* s) { return QString::fromUtf8(s); }

const char* const kSourceNames[] = {"alle Sprachquellen", "Focusstimme",     "Navigation",
                                    "Taskwechsel",        "Menüstimme",      "Buchstaben am Cursor",
                                    "Tastenecho",         "Halda Meldungen", "Scriptausgaben"};

}  // namespace

frmVoices::frmVoices(QWidget* parent) : ChildDialog(QStringLiteral("frmVoices"), u8("Sprachausgabe"), parent) {
  trap("frmVoices.Form_Load", [this] {
    build();
    speechset_ = new SpeechsetFrame(*this);
    addButtons();
    WriteLog(QStringLiteral("frmVoices_Init"), kDetail);
  });
}

frmVoices::~frmVoices() { WriteLog(QStringLiteral("frmVoices_unload"), kDetail); }

void frmVoices::build() {
  hiddenTexts({{"lblAsk2Save", "wollen Sie Änderungen speichern ?"},
               {"lblNoVoice", "keine"},
               {"lblDiffVoices", "unterschiedliche"},
               {"lblInfo", "Info:"},
               {"lblEmpty", "leer"},
               {"lblEnterName", "umbenennen nach:"},
               {"lblChangeAll",
                "Sie haben momentan verschiedene Stimmen zugeordnet - wollen Sie diese wirklich alle auf die "
                "gleiche Stimme ändern ?"},
               {"lblInUse", "wird momentan benutzt, wollen Sie diese Stimme wirklich löschen ?"},
               {"lblNoDelete", " wird als Focusstimme benutzt, löschen momentan nicht möglich."},
               {"lblMax9Voices",
                "Es sind bereits 9 Stimmen vorhanden. Sie müssen erst eine Stimme löschen um neue hinzufügen zu "
                "können."},
               {"lblTestText", "Hugo und Erna sörfen im Internet."},
               {"lblParameter", "Parameter für"},
               {"lblWordsPerMinute", "Wörter pro Minute"}});
  QVBoxLayout* column = content();

  auto* top = new QFormLayout;
  cboSource_ = named<QComboBox>(this, "cboSource");
  for (const char* s : kSourceNames) cboSource_->addItem(u8(s));
  top->addRow(named<QLabel>(this, "lblSource", u8("Sprach&quelle:")), cboSource_);
  auto* voiceRow = new QHBoxLayout;
  cboVoice_ = named<QComboBox>(this, "cboVoice");
  cmdVoiceMenu_ = named<QPushButton>(this, "cmdVoiceMenu", u8("Stimmen &verwalten"));
  voiceRow->addWidget(cboVoice_, 1);
  voiceRow->addWidget(cmdVoiceMenu_);
  QLabel* lblVoice = named<QLabel>(this, "lblVoice", u8("St&imme:"));
  top->addRow(lblVoice, voiceRow);
  ui::setBuddy(findChild<QLabel*>(QStringLiteral("lblSource")), cboSource_);
  ui::setBuddy(lblVoice, cboVoice_);
  column->addLayout(top);

  // The parameters of the voice.
  picSettings_ = named<QWidget>(this, "picSettings");
  auto* settingsColumn = new QVBoxLayout(picSettings_);
  settingsColumn->setContentsMargins(0, 0, 0, 0);
  nl_Parameter_ = named<QGroupBox>(picSettings_, "nl_Parameter", u8("Einstellungen"));
  auto* form = new QFormLayout(nl_Parameter_);
  const auto pair = [&](const char* lbl, const char* caption, const char* txt, const char* sli) {
    auto* row = new QHBoxLayout;
    auto* t = named<QLineEdit>(nl_Parameter_, txt);
    t->setMaxLength(3);
    t->setFixedWidth(t->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    auto* s = named<QSlider>(nl_Parameter_, sli);
    row->addWidget(t);
    row->addWidget(s, 1);
    QLabel* l = named<QLabel>(nl_Parameter_, lbl, u8(caption));
    ui::setBuddy(l, t);
    form->addRow(l, row);
    auto* c = new cMySlider(this);
    c->Init(t, s, 0, 100);
    connect(c, &cMySlider::Change, this, [this, c] { sliderChanged(c); });
    return c;
  };
  ctlSpeed_ = pair("lblSpeed", "&Geschwindigkeit:", "txtSpeed", "sliSpeed");
  ctlPitch_ = pair("lblPitch", "&Tonhöhe:", "txtPitch", "sliPitch");
  ctlVolume_ = pair("lblVolume", "&Lautstärke:", "txtVolume", "sliVolume");
  ctlSpeed_->setMeaning([this](int p) {
    const cGlobal& g = gGlobal();
    return QString::number(PercentToValue(p, g.SpeedMin, g.SpeedMax)) + u' ' + hiddenText("lblWordsPerMinute");
  });
  ctlPitch_->setMeaning({});
  ctlVolume_->setMeaning({});
  cboTable_ = named<QComboBox>(nl_Parameter_, "cboTable");
  lblTable_ = named<QLabel>(nl_Parameter_, "lblTable", u8("&Satzzeichen:"));
  ui::setBuddy(lblTable_, cboTable_);
  form->addRow(lblTable_, cboTable_);
  // The voice's facts one per line, read line by line with the arrow keys.
  txtInfo_ = named<QPlainTextEdit>(nl_Parameter_, "txtInfo");
  txtInfo_->setReadOnly(true);
  txtInfo_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  txtInfo_->setTabChangesFocus(true);
  txtInfo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtInfo_->setFixedHeight(txtInfo_->fontMetrics().lineSpacing() * 7 + 2 * txtInfo_->frameWidth() + 8);
  txtInfo_->setEnabled(false);
  txtInfo_->installEventFilter(this);
  QLabel* lblInfoCaption = named<QLabel>(nl_Parameter_, "lblVoiceInfo", u8("Stimmin&fo:"));
  ui::setBuddy(lblInfoCaption, txtInfo_);
  form->addRow(lblInfoCaption, txtInfo_);
  settingsColumn->addWidget(nl_Parameter_);
  column->addWidget(picSettings_);

  // The new-voice panel, in the place of the parameters while it is open.
  picNew_ = named<QWidget>(this, "picNew");
  auto* newColumn = new QVBoxLayout(picNew_);
  newColumn->setContentsMargins(0, 0, 0, 0);
  QLabel* lblNewVoice = named<QLabel>(picNew_, "lblNewVoice", u8("neue Stimme"));
  treModes_ = named<QTreeWidget>(picNew_, "treModes");
  treModes_->setHeaderHidden(true);
  treModes_->installEventFilter(this);
  ui::setBuddy(lblNewVoice, treModes_);
  newColumn->addWidget(lblNewVoice);
  newColumn->addWidget(treModes_, 1);
  auto* nameRow = new QHBoxLayout;
  lblName_ = named<QLabel>(picNew_, "lblName", u8("&Name:"));
  txtName_ = named<QLineEdit>(picNew_, "txtName");
  txtName_->installEventFilter(this);
  ui::setBuddy(lblName_, txtName_);
  cmdAddVoice_ = named<QPushButton>(picNew_, "cmdAddVoice", u8("hinzufügen"));
  nameRow->addWidget(lblName_);
  nameRow->addWidget(txtName_, 1);
  nameRow->addWidget(cmdAddVoice_);
  newColumn->addLayout(nameRow);
  picNew_->setVisible(false);
  column->addWidget(picNew_, 1);

  // The speech-set frame is inserted here (speechSetPlace()).
  speechSetPlace_ = new QVBoxLayout;
  column->addLayout(speechSetPlace_);

  connect(cboSource_, &QComboBox::currentIndexChanged, this, [this] { sourceSelected(); });
  // A voice is assigned once the user settles on it (Enter, or leaving the list), not for each
  // voice passed by arrowing: assigning may ask whether every source gets it.
  ui::ListCommit::attach(cboVoice_, [this] { voiceSelected(); });
  connect(cboTable_, &QComboBox::currentIndexChanged, this, [this] { tableSelected(); });
  connect(cmdVoiceMenu_, &QPushButton::clicked, this, [this] { cmdVoiceMenuClick(); });
  connect(cmdAddVoice_, &QPushButton::clicked, this, [this] { cmdAddVoiceClick(); });
  connect(treModes_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { modeClicked(item); });
  connect(treModes_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (item && isModeKey(item->data(0, Qt::UserRole).toString())) {
      txtName_->setFocus(Qt::OtherFocusReason);
      txtName_->selectAll();
    }
  });
  ui::refreshAccessibility(this);
  treModes_->setAccessibleName(ui::plainCaption(lblNewVoice->text()));
}

void frmVoices::SpeechsetSave() { speechset_->SpeechsetSave(); }
void frmVoices::SpeechsetLoad() { speechset_->SpeechsetLoad(); }

// ---------------------------------------------------------------- reading the core

void frmVoices::showValues() {
  if (cboVoice_->count() == 0) LoadVoiceList();  // then again only when the voices change here
  trap("frmVoices.GetValues", [this] {
    model_.read();
    // Shown as read: the source counts as switched, so nothing is assigned.
    sourceTag_.clear();
    {
      const QSignalBlocker block(cboSource_);
      cboSource_->setCurrentIndex(0);
    }
    sourceSelected();
  });
}

void frmVoices::LoadVoiceList() {
  trap("frmVoices.LoadVoiceList", [this] {
    WriteLog(QStringLiteral("LoadVoiceCOmbo"), kDetail);
    const QSignalBlocker block(cboVoice_);
    cboVoice_->clear();
    // Element 0 of the delete entries shows while they change: a menu keeps one visible entry.
    for (int i = 0; i <= kVoiceMenuEntries; ++i)
      if (QAction* a = voiceDelEntry(i)) a->setVisible(i == 0);
    model_.readVoices(hiddenText("lblNoVoice"));
    for (const VoiceProfile::Voice& v : model_.voices()) {
      if (!v.listed()) continue;
      cboVoice_->addItem(v.friendlyName, v.index);
      WriteLog(QStringLiteral("cboVoice.addItem: %1 %2 %3").arg(v.index).arg(v.friendlyName, v.internalName), kDetail);
      if (QAction* a = v.index <= kVoiceMenuEntries ? voiceDelEntry(v.index) : nullptr) {
        a->setText(v.friendlyName);
        a->setVisible(true);
      }
    }
    if (QAction* a = voiceDelEntry(0)) a->setVisible(false);
  });
}

void frmVoices::UpdateNoVoiceEntry() {
  const auto ensure = [this] {
    const int n = cboVoice_->count();
    if (n < 2 || itemData(n - 1) != kNoVoice) cboVoice_->addItem(hiddenText("lblNoVoice"), kNoVoice);
  };
  const QSignalBlocker block(cboVoice_);
  if (cboSource_->currentIndex() >= 2 || model_.voiceCount() <= 2) {
    ensure();
  } else {
    const int n = cboVoice_->count();
    if (n > 0 && itemData(n - 1) == kNoVoice) cboVoice_->removeItem(n - 1);
  }
}

void frmVoices::sourceSelected() {
  trap("frmVoices.cboSource_Click", [this] {
    const int source = cboSource_->currentIndex();
    WriteLog(QStringLiteral("cboSource_Click %1 %2").arg(source).arg(cboSource_->currentText()), kDetail);
    UpdateNoVoiceEntry();
    const auto selectByText = [this](const QString& text) {
      int i = -1;
      for (int k = 0; k < cboVoice_->count() && i < 0; ++k)
        if (cboVoice_->itemText(k).compare(text, Qt::CaseInsensitive) == 0) i = k;
      setVoiceIndex(i);
    };
    if (source != 0) {
      if (cboVoice_->count() > 0 && itemData(0) == kDiffVoices) {
        const QSignalBlocker block(cboVoice_);
        cboVoice_->removeItem(0);
      }
      entry_ = source;
      selectByText(shownName(source));
      voiceSelected();
      LoadTableList();
    } else {
      cboTable_->setEnabled(false);
      lblTable_->setEnabled(false);
      const int n = model_.sourceCount();
      const QString firstName = model_.source(1).voiceName;
      int last = 1;
      bool differ = false;
      for (int i = 2; i <= n && !differ; ++i) {
        last = i;
        differ = model_.source(i).voiceName != firstName;
      }
      if (differ && !(cboVoice_->count() > 0 && itemData(0) == kDiffVoices)) {
        const QSignalBlocker block(cboVoice_);
        cboVoice_->insertItem(0, hiddenText("lblDiffVoices"), kDiffVoices);
      }
      if (cboVoice_->count() > 0 && itemData(0) == kDiffVoices) {
        setVoiceIndex(0);
      } else {
        selectByText(shownName(last));
      }
      entry_ = 1;
      voiceSelected();
    }
    sourceTag_ = QString::number(source);
  });
}

void frmVoices::voiceSelected() {
  trap("frmVoices.cboVoice_Click", [this] {
    const int index = cboVoice_->currentIndex();
    const int data = itemData(index);
    WriteLog(QStringLiteral("cboVoiceClick: %1 %2").arg(cboVoice_->currentText()).arg(data), kDetail);
    ShowNewVoicePanel(false);
    const bool unchanged = sourceUnchanged() && !loading();
    const int source = cboSource_->currentIndex();
    const auto finish = [&] {
      prevItemData_ = data;
      voiceTag_ = QString::number(index);
      ui::setGroupTitle(nl_Parameter_, hiddenText("lblParameter") + u' ' +
                                           (showsDiffVoices() ? cboSource_->currentText() : cboVoice_->currentText()));
    };
    if (index < 0) {
      finish();
      return;
    }
    if (data == kDiffVoices) {
      cboTable_->setEnabled(false);
      lblTable_->setEnabled(false);
      ctlPitch_->Clear();
      ctlPitch_->setEnabled(false);
      ctlSpeed_->setEnabled(true);
      ctlVolume_->setEnabled(true);
      entry_ = 1;
      const VoiceProfile::Voice* v = model_.voiceOf(1);
      if (!v) throw Error(err::InvalidCall, QStringLiteral("the focus source has no voice"));
      voice_ = v->internalName;
      const cGlobal& g = gGlobal();
      ctlSpeed_->ShowVal(ValueToPercent(v->speed, g.SpeedMin, g.SpeedMax));
      ctlVolume_->ShowVal(ValueToPercent(volumeLevel(v->volume), 0, g.VolMax));
      setMenuEnabled("mnuVoiceRename", false);
      setMenuEnabled("mnuVoiceInfo", false);
      txtInfo_->setPlainText(hiddenText("lblInfo"));
      finish();
      return;
    }
    if (data == kNoVoice) {
      cboTable_->setEnabled(false);
      lblTable_->setEnabled(false);
      for (cMySlider* s : {ctlSpeed_, ctlPitch_, ctlVolume_}) {
        s->Clear();
        s->setEnabled(false);
      }
      if (unchanged && entry_ > 0) {
        model_.assign(entry_, VoiceProfile::kNoVoice);
        assignChanged_ = true;
      }
      setMenuEnabled("mnuVoiceRename", false);
      setMenuEnabled("mnuVoiceInfo", false);
      txtInfo_->setPlainText(hiddenText("lblInfo"));
      finish();
      return;
    }
    const VoiceProfile::Voice* v = model_.voiceAt(data);
    if (!v) throw Error(err::SubscriptOutOfRange, QStringLiteral("SpeechVoices: no item %1").arg(data));
    voice_ = v->internalName;
    if (unchanged) {
      const QString internal = voice_;
      if (source != 0) {
        model_.assign(entry_, internal);
      } else {
        if (prevItemData_ == kDiffVoices && MsgBoxEx(hiddenText("lblChangeAll"), msgbox::kYesNo) != msgbox::Yes) {
          setVoiceIndex(0);
          voiceSelected();
          return;
        }
        model_.assignAll(internal);
        if (cboVoice_->count() > 0 && itemData(0) == kDiffVoices) {
          const QSignalBlocker block(cboVoice_);
          cboVoice_->removeItem(0);
        }
      }
      assignChanged_ = true;
    }
    showVoice();
    finish();
    voiceTag_ = QString::number(cboVoice_->currentIndex());
  });
}

void frmVoices::showVoice() {
  for (cMySlider* s : {ctlSpeed_, ctlPitch_, ctlVolume_}) s->setEnabled(true);
  std::tie(pitchLow_, pitchHigh_) = model_.pitchRange(voice_);
  const VoiceProfile::Voice* v = model_.voiceNamed(voice_);
  if (!v) throw Error(err::InvalidCall, QStringLiteral("the voice %1 has been removed").arg(voice_));
  const cGlobal& g = gGlobal();
  ctlSpeed_->ShowVal(ValueToPercent(v->speed, g.SpeedMin, g.SpeedMax));
  ctlPitch_->ShowVal(ValueToPercent(v->pitch, pitchLow_, pitchHigh_));
  ctlVolume_->ShowVal(ValueToPercent(volumeLevel(v->volume), 0, g.VolMax));
  const QString& speaker = v->speaker;
  if (speaker.size() < 2)
    throw Error(err::InvalidCall, QStringLiteral("Speaker shorter than two characters: ") + speaker);
  txtInfo_->setPlainText(QStringList{
      hiddenText("lblInfo"), v->productName, v->sapiMode, v->dialect + QStringLiteral(" (") + v->languageId + u')',
      speaker.left(speaker.size() - 2) + QStringLiteral(" (") + v->age + u')', v->companyName}
                             .join(u'\n'));
  setMenuEnabled("mnuVoiceRename", true);
  setMenuEnabled("mnuVoiceInfo", true);
  LoadTableList();
}

void frmVoices::LoadTableList() {
  trap("frmVoices.LoadTableList", [this] {
    const VoiceProfile::Voice* v = model_.voiceNamed(voice_);
    if (voice_.isEmpty() || !v || itemData(cboVoice_->currentIndex()) <= kNoVoice) return;
    const QString language = v->languageId;
    cboTable_->setEnabled(true);
    lblTable_->setEnabled(true);
    const QSignalBlocker block(cboTable_);
    if (tableTag_ != language) {
      tables_ = model_.readTables();
      cboTable_->clear();
      for (const VoiceProfile::Table& t : std::as_const(tables_)) {
        if (t.language != language) continue;
        const QString name = fileTitle(t.fileName).toLower();
        if (name.isEmpty() || !name.at(0).isDigit()) continue;  // only tables numbered by their first character
        cboTable_->addItem(name.mid(1), name.left(1).toInt());
      }
      tableTag_ = language;
    }
    if (entry_ <= 0) return;
    const QString table = model_.source(entry_).tableName;
    const QString wanted = fileTitle(table).toLower().mid(1);
    int i = cboTable_->findText(wanted, Qt::MatchFixedString);
    if (i < 0 && !table.isEmpty()) i = cboTable_->findText(table.left(1), Qt::MatchStartsWith);
    cboTable_->setCurrentIndex(i < 0 ? 0 : i);
  });
}

void frmVoices::tableSelected() {
  trap("frmVoices.cboTable_Click", [this] {
    if (loading() || !sourceUnchanged() || entry_ <= 0) return;
    WriteLog(QStringLiteral("cboTable_Click %1 %2").arg(model_.source(entry_).internalName, cboTable_->currentText()),
             kDetail);
    if (cboTable_->currentIndex() < 0) {
      WriteLog(QStringLiteral("no Table "), kDetail);
      return;
    }
    model_.setTable(
        entry_, QString::number(cboTable_->currentData().toInt()) + cboTable_->currentText() + QStringLiteral(".tab"));
    assignChanged_ = true;
  });
}

void frmVoices::sliderChanged(cMySlider* slider) {
  trap("frmVoices.ctl_Change", [&] {
    if (loading()) return;
    voicesChanged_ = true;
    const cGlobal& g = gGlobal();
    const int p = slider->Value();
    if (slider == ctlPitch_) {
      if (!voice_.isEmpty())
        model_.setValue(voice_, VoiceProfile::Value::Pitch, PercentToValue(p, pitchLow_, pitchHigh_));
      return;
    }
    const bool speed = slider == ctlSpeed_;
    const VoiceProfile::Value which = speed ? VoiceProfile::Value::Speed : VoiceProfile::Value::Volume;
    const qint32 value =
        speed ? PercentToValue(p, g.SpeedMin, g.SpeedMax) : volumeValue(PercentToValue(p, 0, g.VolMax));
    if (showsDiffVoices()) model_.setValueOfAllSources(which, value);
    else if (!voice_.isEmpty()) model_.setValue(voice_, which, value);
  });
}

// ---------------------------------------------------------------- OK, Cancel, closing

void frmVoices::store() {
  trap("frmVoices.Store", [this] {
    model_.store();
    assignChanged_ = voicesChanged_ = false;
  });
}

void frmVoices::revert() {
  trap("frmVoices.LoadSettings", [this] {
    model_.revert(voicesChanged_);
    assignChanged_ = voicesChanged_ = false;
  });
}

// OK closes the information text first.
void frmVoices::accept() {
  if (txtInfo_->isEnabled()) {
    txtInfo_->setEnabled(false);
    cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
    return;
  }
  ChildDialog::accept();
}

// Abbrechen and Escape close the new-voice panel or the information text first.
void frmVoices::reject() {
  if (picNew_->isVisible()) {
    ShowNewVoicePanel(false);
    cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
  } else if (txtInfo_->isEnabled()) {
    txtInfo_->setEnabled(false);
    cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
  } else {
    queryHide();
  }
}

// Showing: the voice menu is on, and the core asks which voice to speak with (the question is
// answered only while the dialog shows).
void frmVoices::showEvent(QShowEvent* event) {
  ChildDialog::showEvent(event);
  trap("frmVoices.Form_Activate", [this] {
    setMenuEnabled("mnuVoices", true);
    if (cNotifySink* s = sink())
      connect(s, &cNotifySink::VoiceSelectEvent, this, &frmVoices::voiceSelect,
              Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
  });
}

// Closing: the core stops asking which voice to speak with, the voice menu is off.
void frmVoices::hideEvent(QHideEvent* event) {
  ChildDialog::hideEvent(event);
  trap("frmVoices.CloseDialog", [this] {
    if (!Jex().isNothing())
      Jex().set(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), {QStringLiteral("VoiceSelect")}, false);
    // The focus is not put into the hidden dialog (the reader would say a control that is gone);
    // showing it again focuses its first control, cboSource.
    setMenuEnabled("mnuVoices", false);
  });
}

bool frmVoices::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtInfo_ && event->type() == QEvent::FocusOut) {
    txtInfo_->setEnabled(false);
  } else if (watched == txtName_ && event->type() == QEvent::FocusIn) {
    QMetaObject::invokeMethod(txtName_, &QLineEdit::selectAll, Qt::QueuedConnection);
  } else if (watched == txtName_ && event->type() == QEvent::KeyPress && ui::isEnter(*static_cast<QKeyEvent*>(event))) {
    cmdAddVoiceClick();  // Enter in the name adds the voice; it is not OK
    return true;
  } else if (watched == treModes_ && event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (ui::isEnter(*k)) {
      QTreeWidgetItem* item = treModes_->currentItem();
      if (item && isModeKey(item->data(0, Qt::UserRole).toString())) {
        txtName_->setFocus(Qt::OtherFocusReason);
        txtName_->selectAll();
      }
      return true;
    }
  }
  return ChildDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- the core's voice question

void frmVoices::voiceSelect(const QVariant& o) {
  trap("frmVoices.MyNotifier_VoiceSelect", [&] {
    if (gGlobal().NoVoiceSelect || !isVisible()) return;
    if (ChildHost* h = host(); h && h->activeChild() != this) return;
    if (!gGlobal().UiActive()) return;
    Obj arg = automation::toObj(o);
    QWidget* focus = QApplication::focusWidget();
    const QStringList editing{QStringLiteral("cboSource"), QStringLiteral("cboVoice"),  QStringLiteral("txtSpeed"),
                              QStringLiteral("txtPitch"),  QStringLiteral("txtVolume"), QStringLiteral("cboTable")};
    if (focus && isAncestorOf(focus) && editing.contains(focus->objectName())) {
      if (itemData(cboVoice_->currentIndex()) > kNoVoice && !voice_.isEmpty()) arg.set(QStringLiteral("Voice"), voice_);
    } else if (focus == treModes_ && treModes_->currentItem()) {
      const QString key = treModes_->currentItem()->data(0, Qt::UserRole).toString();
      if (!isModeKey(key)) return;
      const QString voice = model_.prepareModeVoice(key);
      if (voice.isEmpty()) return;
      arg.set(QStringLiteral("Voice"), voice);
      WriteLog(QStringLiteral("VoiceSelect: ") + key, kDetail);
      WriteLog(QStringLiteral("voice selected."), kDetail);
    }
  });
}

// ---------------------------------------------------------------- small helpers

// The text of the voice list that names a source's voice.
QString frmVoices::shownName(int source) const {
  if (model_.source(source).voiceName == VoiceProfile::kNoVoice) return hiddenText("lblNoVoice");
  const VoiceProfile::Voice* v = model_.voiceOf(source);
  return v ? v->friendlyName : QString();
}

bool frmVoices::sourceUnchanged() const { return sourceTag_ == QString::number(cboSource_->currentIndex()); }

int frmVoices::itemData(int index) const {
  return index >= 0 && index < cboVoice_->count() ? cboVoice_->itemData(index).toInt() : 0;
}

bool frmVoices::showsDiffVoices() const { return itemData(cboVoice_->currentIndex()) == kDiffVoices; }

void frmVoices::setVoiceIndex(int index) {
  const QSignalBlocker block(cboVoice_);
  cboVoice_->setCurrentIndex(index);
}

QMenu* frmVoices::voicesMenu() const {
  QWidget* w = window();
  return w && w != this ? w->findChild<QMenu*>(QStringLiteral("mnuVoices")) : nullptr;
}

void frmVoices::setMenuEnabled(const char* name, bool on) {
  QMenu* m = voicesMenu();
  if (!m) return;
  const QString n = QString::fromLatin1(name);
  if (n == QLatin1String("mnuVoices")) {
    m->setEnabled(on);
    m->menuAction()->setEnabled(on);
    return;
  }
  for (QAction* a : m->findChildren<QAction*>())
    if (a->objectName() == n) a->setEnabled(on);
  for (QAction* a : m->actions())
    if (a->objectName() == n) a->setEnabled(on);
}

QAction* frmVoices::voiceDelEntry(int i) const {
  QMenu* m = voicesMenu();
  const QMenu* del = m ? m->findChild<QMenu*>(QStringLiteral("mnuVoiceDelete")) : nullptr;
  if (!del) return nullptr;
  const QString name = QStringLiteral("mnuVoiceDel(%1)").arg(i);
  for (QAction* a : del->actions())
    if (a->objectName() == name) return a;
  return nullptr;
}

void frmVoices::queueForCore(const QString& command) {
  trap("frmVoices.iAdd2JexCmdQ", [&] {
    WriteLog(QStringLiteral("iAdd2JexCmdQ: ") + command, kTraffic);
    Jex().call(QStringLiteral("proc.AddToCMDQueue"), {command});
  });
}

bool frmVoices::isModeKey(const QString& key) { return key.size() >= 4 && key.at(3) != u'_'; }

JEX_FORM_REGISTRATION(frmVoices, {.create = [] { return std::make_unique<frmVoices>(); },
                                  .preload = 3,
                                  .menuButton = 2,
                                  .commands = {{.name = QStringLiteral("DLGSPEECH")}}})

}  // namespace jex

// frmVoices: controls, load, reading the core, the source / voice / table handlers, the
// sliders, OK / Cancel and the core's voice-select question. The commands, the voice management
// and the new-voice panel are in frmvoices_commands.cpp.
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
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/speech/clsmixer.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/speechsetframe.h"
#include "dialogs/speech/voicevalues.h"
#include "global/cglobal.h"
#include "global/cnotifysink.h"
#include "localisation/localizable.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

namespace jex {
namespace {
QString u8(const char* s) { return QString::fromUtf8(s); }

const char* const kSourceNames[] = {"alle Sprachquellen", "Focusstimme",     "Navigation",
                                    "Taskwechsel",        "Menüstimme",      "Buchstaben am Cursor",
                                    "Tastenecho",         "Halda Meldungen", "Scriptausgaben"};

// The hidden message labels and their German texts.
struct HiddenLabel {
  const char* name;
  const char* text;
};
const HiddenLabel kHidden[] = {
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
    {"lblWordsPerMinute", "Wörter pro Minute"},
};

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(u8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QLabel* label(QWidget* parent, const char* name, const char* caption) {
  auto* l = new QLabel(u8(caption), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

template <class W>
W* named(QWidget* parent, const char* name) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}
}  // namespace

frmVoices::frmVoices(QWidget* parent) : ChildDialog(QStringLiteral("frmVoices"), u8("Sprachausgabe"), parent) {
  trap("frmVoices.Form_Load", [this] {
    build();
    speechset_ = new SpeechsetFrame(*this);
    ChildLoad();
    WriteLog(QStringLiteral("frmVoices_Init"), kDetail);
    LoadVoiceList();
    GetValues();
    assignChanged_ = voicesChanged_ = false;
    if (cNotifySink* sink = notifier())
      connect(sink, &cNotifySink::VoiceSelectEvent, this, &frmVoices::voiceSelect, Qt::DirectConnection);
  });
}

frmVoices::~frmVoices() {
  WriteLog(QStringLiteral("frmVoices_unload"), kDetail);
  clearCore();
  for (const QPointer<QAction>& a : voiceDel_)
    if (a && a->parent() != ownVoicesMenu_) delete a.data();
}

void frmVoices::clearCore() { profile_ = voices_ = entry_ = voice_ = modes_ = tables_ = Obj(); }

void frmVoices::build() {
  lblAsk2Save()->setText(u8("wollen Sie Änderungen speichern ?"));
  QVBoxLayout* column = content();

  auto* top = new QFormLayout;
  cboSource_ = named<QComboBox>(this, "cboSource");
  for (const char* s : kSourceNames) cboSource_->addItem(u8(s));
  top->addRow(label(this, "lblSource", "Sprach&quelle:"), cboSource_);
  auto* voiceRow = new QHBoxLayout;
  cboVoice_ = named<QComboBox>(this, "cboVoice");
  cmdVoiceMenu_ = button(this, "cmdVoiceMenu", "Stimmen &verwalten");
  voiceRow->addWidget(cboVoice_, 1);
  voiceRow->addWidget(cmdVoiceMenu_);
  QLabel* lblVoice = label(this, "lblVoice", "St&imme:");
  top->addRow(lblVoice, voiceRow);
  ui::setBuddy(findChild<QLabel*>(QStringLiteral("lblSource")), cboSource_);
  ui::setBuddy(lblVoice, cboVoice_);
  column->addLayout(top);

  // The parameters of the voice.
  picSettings_ = named<QWidget>(this, "picSettings");
  auto* settingsColumn = new QVBoxLayout(picSettings_);
  settingsColumn->setContentsMargins(0, 0, 0, 0);
  nl_Parameter_ = new QGroupBox(u8("Einstellungen"), picSettings_);
  nl_Parameter_->setObjectName(QStringLiteral("nl_Parameter"));
  auto* form = new QFormLayout(nl_Parameter_);
  const auto pair = [&](const char* lbl, const char* caption, const char* txt, const char* sli) {
    auto* row = new QHBoxLayout;
    auto* t = named<QLineEdit>(nl_Parameter_, txt);
    t->setMaxLength(3);
    t->setFixedWidth(t->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    auto* s = named<QSlider>(nl_Parameter_, sli);
    row->addWidget(t);
    row->addWidget(s, 1);
    QLabel* l = label(nl_Parameter_, lbl, caption);
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
    return QString::number(PercentToValue(p, g.SpeedMin, g.SpeedMax)) + u' ' + caption("lblWordsPerMinute");
  });
  ctlPitch_->setMeaning({});
  ctlVolume_->setMeaning({});
  cboTable_ = named<QComboBox>(nl_Parameter_, "cboTable");
  lblTable_ = label(nl_Parameter_, "lblTable", "&Satzzeichen:");
  ui::setBuddy(lblTable_, cboTable_);
  form->addRow(lblTable_, cboTable_);
  txtInfo_ = named<QLineEdit>(nl_Parameter_, "txtInfo");
  txtInfo_->setReadOnly(true);
  txtInfo_->setEnabled(false);
  txtInfo_->installEventFilter(this);
  QLabel* lblInfoCaption = label(nl_Parameter_, "lblVoiceInfo", "Stimmin&fo:");
  ui::setBuddy(lblInfoCaption, txtInfo_);
  form->addRow(lblInfoCaption, txtInfo_);
  settingsColumn->addWidget(nl_Parameter_);
  column->addWidget(picSettings_);

  // The new-voice panel, in the place of the parameters while it is open.
  picNew_ = named<QWidget>(this, "picNew");
  auto* newColumn = new QVBoxLayout(picNew_);
  newColumn->setContentsMargins(0, 0, 0, 0);
  QLabel* lblNewVoice = label(picNew_, "lblNewVoice", "neue Stimme");
  treModes_ = named<QTreeWidget>(picNew_, "treModes");
  treModes_->setHeaderHidden(true);
  treModes_->installEventFilter(this);
  ui::setBuddy(lblNewVoice, treModes_);
  newColumn->addWidget(lblNewVoice);
  newColumn->addWidget(treModes_, 1);
  auto* nameRow = new QHBoxLayout;
  lblName_ = label(picNew_, "lblName", "&Name:");
  txtName_ = named<QLineEdit>(picNew_, "txtName");
  txtName_->installEventFilter(this);
  ui::setBuddy(lblName_, txtName_);
  cmdAddVoice_ = button(picNew_, "cmdAddVoice", "hinzufügen");
  nameRow->addWidget(lblName_);
  nameRow->addWidget(txtName_, 1);
  nameRow->addWidget(cmdAddVoice_);
  newColumn->addLayout(nameRow);
  picNew_->setVisible(false);
  column->addWidget(picNew_, 1);

  // The speech-set frame is inserted here (speechSetPlace()).
  speechSetPlace_ = new QVBoxLayout;
  column->addLayout(speechSetPlace_);

  auto* buttons = new QHBoxLayout;
  cmdOK_ = button(this, "cmdOK", "OK");
  cmdCancel_ = button(this, "cmdCancel", "Abbrechen");
  cmdHelp_ = button(this, "cmdHelp", "Hilfe");
  buttons->addStretch(1);
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  buttons->addWidget(cmdHelp_);
  column->addLayout(buttons);

  for (const HiddenLabel& h : kHidden) label(this, h.name, h.text)->setVisible(false);

  connect(cboSource_, &QComboBox::currentIndexChanged, this, [this] { sourceSelected(); });
  connect(cboVoice_, &QComboBox::currentIndexChanged, this, [this] { voiceSelected(); });
  connect(cboTable_, &QComboBox::currentIndexChanged, this, [this] { tableSelected(); });
  connect(cmdVoiceMenu_, &QPushButton::clicked, this, [this] { cmdVoiceMenuClick(); });
  connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOKClick(); });
  connect(cmdCancel_, &QPushButton::clicked, this, [this] { cmdCancelClick(); });
  connect(cmdHelp_, &QPushButton::clicked, this, [] {
    trap("frmVoices.cmdHelp_Click",
         [] { forms::open(QStringLiteral("frmHelp"), QStringLiteral("ShowHelp"), {QStringLiteral("frmVoices")}); });
  });
  auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(esc, &QShortcut::activated, this, [this] { cmdCancelClick(); });
  connect(cmdAddVoice_, &QPushButton::clicked, this, [this] { cmdAddVoiceClick(); });
  connect(treModes_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { modeClicked(item); });
  connect(treModes_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (item && isModeKey(item->data(0, Qt::UserRole).toString())) {
      txtName_->setFocus(Qt::OtherFocusReason);
      txtName_->selectAll();
    }
  });
  connect(txtName_, &QLineEdit::returnPressed, this, [this] { cmdAddVoiceClick(); });
  ui::refreshAccessibility(this);
  treModes_->setAccessibleName(ui::plainCaption(lblNewVoice->text()));
}

void frmVoices::SpeechsetSave() { speechset_->SpeechsetSave(); }
void frmVoices::SpeechsetLoad() { speechset_->SpeechsetLoad(); }

QString frmVoices::caption(const char* name) const {
  const auto* l = findChild<QLabel*>(QString::fromLatin1(name));
  return l ? l->text() : QString();
}

// ---------------------------------------------------------------- reading the core

void frmVoices::GetValues() {
  trap("frmVoices.GetValues", [this] {
    profile_ = Jex().obj(QStringLiteral("SpeechProfile"));
    profile_.call(QStringLiteral("GetActValues"));
    voices_ = Jex().obj(QStringLiteral("SpeechVoices"));
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
    voices_ = Jex().obj(QStringLiteral("SpeechVoices"));
    ensureVoiceDelEntries();
    for (int i = 0; i < voiceDel_.size(); ++i)
      if (voiceDel_[i]) voiceDel_[i]->setVisible(i == 0);
    const int n = voices_.count();
    for (int i = 1; i <= n; ++i) {
      Obj v = itemAt(voices_, i);
      if (v.isNothing()) continue;
      const QString internal = v.str(QStringLiteral("InternalName"));
      QString friendly = v.str(QStringLiteral("FriendlyName"));
      if (internal == QLatin1String("--")) {
        if (friendly != caption("lblNoVoice")) v.set(QStringLiteral("FriendlyName"), caption("lblNoVoice"));
        continue;
      }
      if (internal == QLatin1String("v0")) continue;
      if (friendly.isEmpty()) {
        const QString mode = v.str(QStringLiteral("SapiMode"));
        const qsizetype colon = mode.indexOf(u':');
        friendly = (colon >= 1 ? mode.mid(colon + 1) : mode).trimmed();
        v.set(QStringLiteral("FriendlyName"), friendly);
      }
      cboVoice_->addItem(friendly, i);
      WriteLog(QStringLiteral("cboVoice.addItem: %1 %2 %3").arg(i).arg(friendly, internal), kDetail);
      if (i < voiceDel_.size() && voiceDel_[i]) {
        voiceDel_[i]->setText(friendly);
        voiceDel_[i]->setVisible(true);
      }
    }
    if (!voiceDel_.isEmpty() && voiceDel_[0]) voiceDel_[0]->setVisible(false);
  });
}

void frmVoices::UpdateNoVoiceEntry() {
  const auto ensure = [this] {
    const int n = cboVoice_->count();
    if (n < 2 || itemData(n - 1) != kNoVoice) cboVoice_->addItem(caption("lblNoVoice"), kNoVoice);
  };
  const QSignalBlocker block(cboVoice_);
  if (cboSource_->currentIndex() >= 2 || voices_.count() <= 2) {
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
      entry_ = itemAt(profile_, source);
      const QString name = entry_.str(QStringLiteral("VoiceName"));
      selectByText(name == QLatin1String("--") ? caption("lblNoVoice")
                                               : entry_.str(QStringLiteral("Voice.FriendlyName")));
      voiceSelected();
      LoadTableList();
    } else {
      cboTable_->setEnabled(false);
      lblTable_->setEnabled(false);
      const int n = profile_.count();
      Obj first = itemAt(profile_, 1);
      const QString firstName = first.str(QStringLiteral("VoiceName"));
      Obj last = first;
      bool differ = false;
      for (int i = 2; i <= n && !differ; ++i) {
        last = itemAt(profile_, i);
        differ = last.str(QStringLiteral("VoiceName")) != firstName;
      }
      if (differ && !(cboVoice_->count() > 0 && itemData(0) == kDiffVoices)) {
        const QSignalBlocker block(cboVoice_);
        cboVoice_->insertItem(0, caption("lblDiffVoices"), kDiffVoices);
      }
      if (cboVoice_->count() > 0 && itemData(0) == kDiffVoices) {
        setVoiceIndex(0);
      } else {
        const QString name = last.str(QStringLiteral("VoiceName"));
        selectByText(name == QLatin1String("--") ? caption("lblNoVoice")
                                                 : last.str(QStringLiteral("Voice.FriendlyName")));
      }
      entry_ = first;
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
    const bool unchanged = sourceUnchanged();
    const int source = cboSource_->currentIndex();
    const auto finish = [&] {
      prevItemData_ = data;
      voiceTag_ = QString::number(index);
      nl_Parameter_->setTitle(caption("lblParameter") + u' ' +
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
      entry_ = itemAt(profile_, 1);
      voice_ = entry_.obj(QStringLiteral("Voice"));
      const cGlobal& g = gGlobal();
      ctlSpeed_->ShowVal(ValueToPercent(voice_.i32(QStringLiteral("speed")), g.SpeedMin, g.SpeedMax));
      ctlVolume_->ShowVal(ValueToPercent(volumeLevel(voice_.i32(QStringLiteral("volume"))), 0, g.VolMax));
      setMenuEnabled("mnuVoiceRename", false);
      setMenuEnabled("mnuVoiceInfo", false);
      txtInfo_->setText(caption("lblInfo"));
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
      if (unchanged && !entry_.isNothing()) {
        entry_.set(QStringLiteral("VoiceName"), QStringLiteral("--"));
        assignChanged_ = true;
      }
      setMenuEnabled("mnuVoiceRename", false);
      setMenuEnabled("mnuVoiceInfo", false);
      txtInfo_->setText(caption("lblInfo"));
      finish();
      return;
    }
    voice_ = itemAt(voices_, data);
    if (unchanged) {
      const QString internal = voice_.str(QStringLiteral("InternalName"));
      if (source != 0) {
        entry_.set(QStringLiteral("VoiceName"), internal);
      } else {
        if (prevItemData_ == kDiffVoices && MsgBoxEx(caption("lblChangeAll"), msgbox::kYesNo) != msgbox::Yes) {
          setVoiceIndex(0);
          voiceSelected();
          return;
        }
        const int n = profile_.count();
        for (int i = 1; i <= n; ++i) itemAt(profile_, i).set(QStringLiteral("VoiceName"), internal);
        if (cboVoice_->count() > 0 && itemData(0) == kDiffVoices) {
          const QSignalBlocker block(cboVoice_);
          cboVoice_->removeItem(0);
        }
      }
      assignChanged_ = true;
    }
    showValues();
    finish();
    voiceTag_ = QString::number(cboVoice_->currentIndex());
  });
}

// The current voice's values and information.
void frmVoices::showValues() {
  for (cMySlider* s : {ctlSpeed_, ctlPitch_, ctlVolume_}) s->setEnabled(true);
  QVariantList range{0, 0};
  voice_.call(QStringLiteral("PitchRanges"), range);
  pitchLow_ = automation::toI32(range.value(0));
  pitchHigh_ = automation::toI32(range.value(1));
  const cGlobal& g = gGlobal();
  ctlSpeed_->ShowVal(ValueToPercent(voice_.i32(QStringLiteral("speed")), g.SpeedMin, g.SpeedMax));
  ctlPitch_->ShowVal(ValueToPercent(voice_.i32(QStringLiteral("Pitch")), pitchLow_, pitchHigh_));
  ctlVolume_->ShowVal(ValueToPercent(volumeLevel(voice_.i32(QStringLiteral("volume"))), 0, g.VolMax));
  const QString br = QStringLiteral("\r\n");
  const QString speaker = voice_.str(QStringLiteral("Speaker"));
  if (speaker.size() < 2)
    throw Error(err::InvalidCall, QStringLiteral("Speaker shorter than two characters: ") + speaker);
  txtInfo_->setText(caption("lblInfo") + br + br + voice_.str(QStringLiteral("ProductName")) + br +
                    voice_.str(QStringLiteral("SapiMode")) + br + voice_.str(QStringLiteral("Dialect")) +
                    QStringLiteral(" (") + voice_.str(QStringLiteral("LanguageID")) + u')' + br +
                    speaker.left(speaker.size() - 2) + QStringLiteral(" (") + voice_.str(QStringLiteral("Age")) + u')' +
                    br + voice_.str(QStringLiteral("CompanyName")));
  setMenuEnabled("mnuVoiceRename", true);
  setMenuEnabled("mnuVoiceInfo", true);
  LoadTableList();
}

void frmVoices::LoadTableList() {
  trap("frmVoices.LoadTableList", [this] {
    if (voice_.isNothing() || itemData(cboVoice_->currentIndex()) <= kNoVoice) return;
    const QString language = voice_.str(QStringLiteral("LanguageID"));
    cboTable_->setEnabled(true);
    lblTable_->setEnabled(true);
    const QSignalBlocker block(cboTable_);
    const auto title = [](QString file) {
      file = file.mid(qMax(file.lastIndexOf(u'/'), file.lastIndexOf(u'\\')) + 1);
      const qsizetype dot = file.lastIndexOf(u'.');
      return (dot > 0 ? file.left(dot) : file).toLower();
    };
    if (tableTag_ != language) {
      tables_ = Jex().obj(QStringLiteral("SpeechCharTables"));
      cboTable_->clear();
      const int n = tables_.count();
      for (int i = 1; i <= n; ++i) {
        Obj t = itemAt(tables_, i);
        if (t.str(QStringLiteral("FileLng")) != language) continue;
        const QString name = title(t.str(QStringLiteral("FileName")));
        if (name.isEmpty() || !name.at(0).isDigit()) continue;  // only tables numbered by their first character
        cboTable_->addItem(name.mid(1), name.left(1).toInt());
      }
      tableTag_ = language;
    }
    if (entry_.isNothing()) return;
    const QString table = entry_.str(QStringLiteral("TableName"));
    const QString wanted = title(table).mid(1);
    int i = cboTable_->findText(wanted, Qt::MatchFixedString);
    if (i < 0 && !table.isEmpty()) i = cboTable_->findText(table.left(1), Qt::MatchStartsWith);
    cboTable_->setCurrentIndex(i < 0 ? 0 : i);
  });
}

void frmVoices::tableSelected() {
  trap("frmVoices.cboTable_Click", [this] {
    if (!sourceUnchanged() || entry_.isNothing()) return;
    WriteLog(QStringLiteral("cboTable_Click %1 %2")
                 .arg(entry_.str(QStringLiteral("InternalName")), cboTable_->currentText()),
             kDetail);
    if (cboTable_->currentIndex() < 0) {
      WriteLog(QStringLiteral("no Table "), kDetail);
      return;
    }
    entry_.set(QStringLiteral("TableName"),
               QString::number(cboTable_->currentData().toInt()) + cboTable_->currentText() + QStringLiteral(".tab"));
    assignChanged_ = true;
  });
}

void frmVoices::sliderChanged(cMySlider* slider) {
  trap("frmVoices.ctl_Change", [&] {
    voicesChanged_ = true;
    const cGlobal& g = gGlobal();
    const int p = slider->Value();
    if (slider == ctlPitch_) {
      if (!voice_.isNothing()) voice_.set(QStringLiteral("Pitch"), PercentToValue(p, pitchLow_, pitchHigh_));
      return;
    }
    const bool speed = slider == ctlSpeed_;
    const QString member = speed ? QStringLiteral("speed") : QStringLiteral("volume");
    const qint32 value =
        speed ? PercentToValue(p, g.SpeedMin, g.SpeedMax) : volumeValue(PercentToValue(p, 0, g.VolMax));
    if (showsDiffVoices()) {
      const int n = profile_.count();
      for (int i = 1; i <= n; ++i) {
        Obj v = itemAt(profile_, i).obj(QStringLiteral("Voice"));
        if (!v.isNothing()) v.set(member, value);
      }
    } else if (!voice_.isNothing()) {
      voice_.set(member, value);
    }
  });
}

// ---------------------------------------------------------------- OK, Cancel, closing

void frmVoices::store() {
  trap("frmVoices.Store", [this] {
    Jex().call(QStringLiteral("proc.SpeechStop"));
    Jex().call(QStringLiteral("SpeechVoices.SaveVoices"));
    assignChanged_ = voicesChanged_ = false;
  });
}

void frmVoices::revert() {
  trap("frmVoices.LoadSettings", [this] {
    Jex().call(QStringLiteral("proc.SpeechStop"));
    Obj profile = Jex().obj(QStringLiteral("SpeechProfile"));
    WriteLog(QStringLiteral("LoadSettings: ") + profile.str(QStringLiteral("Info")), kDetail);
    profile.call(QStringLiteral("Activate"));
    if (voicesChanged_) Jex().call(QStringLiteral("SpeechVoices.LoadVoices"));
    assignChanged_ = voicesChanged_ = false;
  });
}

void frmVoices::cmdOKClick() {
  trap("frmVoices.cmdOK_Click", [this] {
    if (txtInfo_->isEnabled()) {
      txtInfo_->setEnabled(false);
      cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
      return;
    }
    store();
    hideChild();
  });
}

void frmVoices::cmdCancelClick() {
  trap("frmVoices.cmdCancel_Click", [this] {
    if (picNew_->isVisible()) {
      ShowNewVoicePanel(false);
      cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
    } else if (txtInfo_->isEnabled()) {
      txtInfo_->setEnabled(false);
      cmdVoiceMenu_->setFocus(Qt::OtherFocusReason);
    } else {
      queryHide();
    }
  });
}

void frmVoices::showEvent(QShowEvent* event) {
  ChildDialog::showEvent(event);
  trap("frmVoices.Form_Activate", [this] {
    setMenuEnabled("mnuVoices", true);
    GetValues();
    assignChanged_ = voicesChanged_ = false;
    ui::setTabOrderByReading(this);
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
  } else if (watched == treModes_ && event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
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

bool frmVoices::focusNextPrevChild(bool next) {
  const QList<QWidget*> order = ui::readingOrder(this);
  if (order.isEmpty()) return ChildDialog::focusNextPrevChild(next);
  const qsizetype n = order.size();
  const qsizetype i = order.indexOf(ui::tabStopOf(QApplication::focusWidget()));
  const qsizetype j = i < 0 ? (next ? 0 : n - 1) : (next ? (i + 1) % n : (i + n - 1) % n);
  order.at(j)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
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
      if (itemData(cboVoice_->currentIndex()) > kNoVoice && !voice_.isNothing())
        arg.set(QStringLiteral("Voice"), voice_.str(QStringLiteral("InternalName")));
    } else if (focus == treModes_ && treModes_->currentItem()) {
      const QString key = treModes_->currentItem()->data(0, Qt::UserRole).toString();
      if (!isModeKey(key)) return;
      if (modes_.isNothing()) modes_ = Jex().obj(QStringLiteral("SpeechModes"));
      Obj mode = automation::toObj(modes_.call(QStringLiteral("ItemByName"), {key}));
      if (mode.isNothing()) return;
      WriteLog(QStringLiteral("PrepareModeVoice: ") + key, kDetail);
      mode.call(QStringLiteral("PrepareModeVoice"));
      arg.set(QStringLiteral("Voice"), QStringLiteral("m") + QString::number(mode.i32(QStringLiteral("Index"))));
      WriteLog(QStringLiteral("VoiceSelect: ") + key, kDetail);
      WriteLog(QStringLiteral("voice selected."), kDetail);
    }
  });
}

// ---------------------------------------------------------------- small helpers

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
  if (QWidget* w = window(); w && w != this)
    if (auto* m = w->findChild<QMenu*>(QStringLiteral("mnuVoices"))) return m;
  return ownVoicesMenu_;
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

// The delete entries 1 to 11 beside the main window's element 0 (or in a menu of the form's own
// when it has no main window).
void frmVoices::ensureVoiceDelEntries() {
  QMenu* menu = voicesMenu();
  if (!menu) {
    ownVoicesMenu_ = new QMenu(this);
    ownVoicesMenu_->setObjectName(QStringLiteral("mnuVoices"));
    menu = ownVoicesMenu_;
  }
  QMenu* del = menu->findChild<QMenu*>(QStringLiteral("mnuVoiceDelete"));
  if (!del) {
    del = new QMenu(menu);
    del->setObjectName(QStringLiteral("mnuVoiceDelete"));
    menu->addMenu(del);
  }
  if (voiceDel_.size() == kVoiceMenuEntries + 1 && voiceDel_.first() && voiceDel_.first()->parent() == del) return;
  voiceDel_.clear();
  QAction* zero = nullptr;
  for (QAction* a : del->actions())
    if (a->objectName() == QLatin1String("mnuVoiceDel(0)")) zero = a;
  if (!zero) {
    zero = del->addAction(QString());
    zero->setObjectName(QStringLiteral("mnuVoiceDel(0)"));
  }
  voiceDel_.append(zero);
  for (int i = 1; i <= kVoiceMenuEntries; ++i) {
    QAction* a = del->addAction(QString());
    a->setObjectName(QStringLiteral("mnuVoiceDel(%1)").arg(i));
    a->setVisible(false);
    connect(a, &QAction::triggered, this, [this, i] { VoiceDel(i); });
    voiceDel_.append(a);
  }
}

QAction* frmVoices::voiceDelEntry(int i) const {
  return i >= 0 && i < voiceDel_.size() ? voiceDel_[i].data() : nullptr;
}

void frmVoices::queueForCore(const QString& command) {
  trap("frmVoices.iAdd2JexCmdQ", [&] {
    WriteLog(QStringLiteral("iAdd2JexCmdQ: ") + command, kTraffic);
    Jex().call(QStringLiteral("proc.AddToCMDQueue"), {command});
  });
}

Obj frmVoices::itemAt(const Obj& collection, int i) {
  return automation::toObj(collection.call(QStringLiteral("ItemByIndex"), {i}));
}

bool frmVoices::isModeKey(const QString& key) { return key.size() >= 4 && key.at(3) != u'_'; }

JEX_FORM_REGISTRATION(frmVoices, {.create = [] { return std::make_unique<frmVoices>(); }, .preload = 3})

}  // namespace jex

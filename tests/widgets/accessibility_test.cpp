// The accessibility helpers and the form check, on a small form built like the program's
// dialogs: labelled fields, a group box, buttons with tool tips.
#include "widgets/accessibility.h"
#include "tests/support/accessibility.h"

namespace {

// A widget with its object name, as the check's messages show it.
template <class W, class... A>
W* make(const char* name, A&&... args) {
  auto* w = new W(std::forward<A>(args)...);
  w->setObjectName(QLatin1String(name));
  return w;
}

struct SampleForm {
  QWidget form;
  QLabel* lblName = new QLabel(QStringLiteral("&Name:"));
  QLineEdit* txtName = make<QLineEdit>("txtName");
  QLabel* lblLanguage = new QLabel(QStringLiteral("&Sprache:"));
  QComboBox* cboLanguage = make<QComboBox>("cboLanguage");
  QGroupBox* fraSounds = new QGroupBox(QStringLiteral("&Klänge"));
  QCheckBox* chkSounds = make<QCheckBox>("chkSounds", QStringLiteral("Klänge &abspielen"));
  QLabel* lblVolume = new QLabel(QStringLiteral("&Lautstärke:"));
  QSpinBox* txtVolume = make<QSpinBox>("txtVolume");
  QPushButton* cmdOK = make<QPushButton>("cmdOK", QStringLiteral("OK"));
  QPushButton* cmdCancel = make<QPushButton>("cmdCancel", QStringLiteral("Abbrechen"));

  SampleForm() {
    form.setObjectName(QStringLiteral("frmSample"));
    cboLanguage->addItems({QStringLiteral("Deutsch"), QStringLiteral("English")});
    auto* fields = new QGridLayout;
    for (auto [row, label, field] :
         {std::tuple<int, QLabel*, QWidget*>{0, lblName, txtName}, {1, lblLanguage, cboLanguage}}) {
      fields->addWidget(label, row, 0);
      fields->addWidget(field, row, 1);
    }
    auto* sounds = new QGridLayout(fraSounds);
    sounds->addWidget(chkSounds, 0, 0, 1, 2);
    sounds->addWidget(lblVolume, 1, 0);
    sounds->addWidget(txtVolume, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* top = new QVBoxLayout(&form);
    top->addLayout(fields);
    top->addWidget(fraSounds);
    top->addLayout(buttons);

    jex::ui::setBuddy(lblName, txtName);
    jex::ui::setBuddy(lblLanguage, cboLanguage);
    jex::ui::setBuddy(lblVolume, txtVolume);
    jex::ui::setTip(cmdOK, QStringLiteral("Speichert die Einstellungen"));
    cmdCancel->setToolTip(QStringLiteral("Verwirft die Änderungen"));
    jex::ui::refreshAccessibility(&form);
    form.show();
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    jex::ui::setTabOrderByReading(&form);
  }
  // A control added below the others, shown.
  template <class W>
  W* add(const char* name) {
    auto* w = make<W>(name, &form);
    form.layout()->addWidget(w);
    w->show();
    return w;
  }
};

QString accessibleName(QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); }

QStringList labelsOf(QWidget* w) {
  QStringList labels;
  if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w))
    for (const auto& r : iface->relations(QAccessible::Label)) labels << r.first->text(QAccessible::Name);
  return labels;
}

// True when one of problems contains what; else prints them all.
::testing::AssertionResult mentions(const QStringList& problems, const QString& what) {
  if (std::any_of(problems.begin(), problems.end(), [&](const QString& p) { return p.contains(what); }))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << problems.join(u'\n').toStdString();
}

}  // namespace

TEST(AccessibilityHelpers, CaptionsLoseTheirAccelerators) {
  EXPECT_EQ(jex::ui::plainCaption(QStringLiteral("&Name:")), QStringLiteral("Name:"));
  EXPECT_EQ(jex::ui::plainCaption(QStringLiteral("Laden && &Speichern")), QStringLiteral("Laden & Speichern"));
  EXPECT_EQ(jex::ui::plainCaption(QStringLiteral("Ende&")), QStringLiteral("Ende"));
}

TEST(AccessibilityHelpers, BuddyLabelsAndGroupBoxTitlesAnnounceTheirControlsAndFollowNewCaptions) {
  SampleForm f;
  EXPECT_EQ(labelsOf(f.txtName), QStringList{QStringLiteral("Name:")});
  EXPECT_TRUE(f.txtName->accessibleName().isEmpty()) << "the name must not be frozen";
  // A localised caption reaches the announcement without any refresh.
  f.lblName->setText(QStringLiteral("&Name of the profile:"));
  EXPECT_EQ(labelsOf(f.txtName), QStringList{QStringLiteral("Name of the profile:")});
  // The label's accelerator moves the focus to its control, as a blind user expects.
  QTest::keyClick(&f.form, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(QApplication::focusWidget(), f.cboLanguage);

  // A label that is no sibling of its control: the caption is copied and refreshed on demand.
  QWidget outside;
  auto* far = new QLabel(QStringLiteral("&Farbe:"), &outside);
  auto* cboColour = new QComboBox(&f.form);
  jex::ui::setBuddy(far, cboColour);
  EXPECT_EQ(cboColour->accessibleName(), QStringLiteral("Farbe:"));
  far->setText(QStringLiteral("&Colour:"));
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(cboColour->accessibleName(), QStringLiteral("Colour:"));
  delete far;  // a vanished label leaves the last name, never a crash
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(cboColour->accessibleName(), QStringLiteral("Colour:"));
  // Group boxes are announced with their titles, unless named on purpose.
  EXPECT_EQ(accessibleName(f.fraSounds), QStringLiteral("Klänge"));
  f.fraSounds->setTitle(QStringLiteral("&Sounds"));
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(accessibleName(f.fraSounds), QStringLiteral("Sounds"));
  f.fraSounds->setAccessibleName(QStringLiteral("chosen"));
  f.fraSounds->setProperty("jex_nameFromTitle", QVariant());
  jex::ui::refreshNames(&f.form);
  EXPECT_EQ(f.fraSounds->accessibleName(), QStringLiteral("chosen"));
}

TEST(AccessibilityHelpers, ToolTipsBecomeDescriptionsUnlessSetOnPurpose) {
  SampleForm f;
  // A tip set without the helper is found by the check until the descriptions are synced.
  f.txtName->setToolTip(QStringLiteral("Name des Profils"));
  const QStringList problems = jex::test::descriptionProblems(&f.form);
  ASSERT_EQ(problems.size(), 1) << problems.join(u'\n').toStdString();
  EXPECT_TRUE(problems.first().startsWith(QStringLiteral("txtName (QLineEdit): tool tip")));
  jex::ui::syncDescriptions(&f.form);
  EXPECT_TRUE(jex::test::descriptionProblems(&f.form).isEmpty());
  EXPECT_EQ(f.cmdOK->accessibleDescription(), QStringLiteral("Speichert die Einstellungen"));
  EXPECT_EQ(f.cmdCancel->accessibleDescription(), QStringLiteral("Verwirft die Änderungen"));
  // A translated tip follows after the next sync; a removed tip takes its description along.
  f.cmdCancel->setToolTip(QStringLiteral("Discards the changes"));
  f.cmdOK->setToolTip(QString());
  f.chkSounds->setAccessibleDescription(QStringLiteral("explicit"));
  f.chkSounds->setToolTip(QStringLiteral("tip"));
  jex::ui::syncDescriptions(&f.form);
  EXPECT_EQ(f.cmdCancel->accessibleDescription(), QStringLiteral("Discards the changes"));
  EXPECT_TRUE(f.cmdOK->accessibleDescription().isEmpty());
  EXPECT_EQ(f.chkSounds->accessibleDescription(), QStringLiteral("explicit"));
}

TEST(AccessibilityHelpers, ReadingOrderFollowsRowsAndWritingDirection) {
  SampleForm f;
  const QList<QWidget*> ltr{f.txtName, f.cboLanguage, f.chkSounds, f.txtVolume, f.cmdOK, f.cmdCancel};
  EXPECT_EQ(jex::ui::readingOrder(&f.form), ltr);
  f.txtVolume->setEnabled(false);
  f.chkSounds->hide();
  EXPECT_EQ(jex::ui::readingOrder(&f.form), (QList<QWidget*>{f.txtName, f.cboLanguage, f.cmdOK, f.cmdCancel}));
  f.txtVolume->setEnabled(true);
  f.chkSounds->show();
  f.form.setLayoutDirection(Qt::RightToLeft);
  QApplication::processEvents();
  // The mirrored layout puts OK right of Cancel, so reading from the right keeps OK first.
  ASSERT_GT(f.cmdOK->x(), f.cmdCancel->x());
  EXPECT_EQ(jex::ui::readingOrder(&f.form), ltr);
  jex::ui::syncDescriptions(&f.form);
  jex::ui::setTabOrderByReading(&f.form);
  EXPECT_ACCESSIBLE(&f.form);
  // The inner line edit of a spin box stands for the spin box.
  EXPECT_EQ(jex::ui::tabStopOf(f.txtVolume->findChild<QLineEdit*>()), f.txtVolume);
}

TEST(AccessibilityCheck, FindsUnlabelledControls) {
  SampleForm f;
  jex::ui::syncDescriptions(&f.form);
  auto* txtLoose = f.add<QLineEdit>("txtLoose");
  txtLoose->setText(QStringLiteral("a value is no label"));
  auto* cmdBlank = f.add<QPushButton>("cmdBlank");
  const QStringList problems = jex::test::labelProblems(&f.form);
  EXPECT_EQ(problems.size(), 2) << problems.join(u'\n').toStdString();
  EXPECT_TRUE(mentions(problems, QStringLiteral("txtLoose (QLineEdit) is not announced with a label")));
  EXPECT_TRUE(mentions(problems, QStringLiteral("cmdBlank (QPushButton) has no accessible name")));
  // An explicit name is enough.
  txtLoose->setAccessibleName(QStringLiteral("Suche"));
  cmdBlank->setAccessibleName(QStringLiteral("Leeren"));
  EXPECT_TRUE(jex::test::labelProblems(&f.form).isEmpty());
}

TEST(AccessibilityCheck, FindsABrokenTabChain) {
  SampleForm f;
  jex::ui::syncDescriptions(&f.form);
  // The buttons were added in the wrong order: Cancel comes before OK in the chain.
  jex::ui::setTabOrder({f.txtVolume, f.cmdCancel, f.cmdOK, f.txtName});
  const QStringList problems = jex::test::tabOrderProblems(&f.form);
  EXPECT_TRUE(mentions(problems, QStringLiteral("Tab from txtVolume (QSpinBox) goes to cmdCancel (QPushButton), "
                                                "expected cmdOK (QPushButton)")));
  EXPECT_TRUE(mentions(problems, QStringLiteral("Shift+Tab from txtName (QLineEdit)")));
  // A control that swallows Tab keeps the focus: the chain is broken there too.
  auto* txtNotes = f.add<QTextEdit>("txtNotes");
  txtNotes->setAccessibleName(QStringLiteral("Notizen"));
  jex::ui::setTabOrderByReading(&f.form);
  EXPECT_TRUE(
      mentions(jex::test::tabOrderProblems(&f.form), QStringLiteral("Tab from txtNotes (QTextEdit) goes to txtNotes")));
  txtNotes->setTabChangesFocus(true);
  EXPECT_TRUE(jex::test::tabOrderProblems(&f.form).isEmpty());
}

// The core's general settings that JexUI's options and user dialogs read and write.
//
//   proc.GlobalSettings  named values of each user, global and per application, in the user's
//                        GLOBALSETTINGS.INI ([Global] and one section per application; every
//                        write is one atomic replace of the file under its lock):
//                          GetValue(name, value by reference, user) -> 1 (the core's default)
//                            or 2 (the user's global value)
//                          ActiveValue(name, value by reference, user, application) -> 1, 2 or 8
//                            (the application's own value)
//                          SetValue(name, value, user)               the user's global value
//                          SetValue(name, value, user, application)  the application's own value
//                          SetValue(name, , user, application)       value omitted: the own value
//                            is dropped, the application follows the global one (without an
//                            application the user's global value is dropped)
//                        An empty user is the current one; a user without a directory is refused.
//   proc.Locale          the installed interface languages: LngSubDirColl (the numbers of the
//                        folders LNG/<number> that hold a JEXUIDLG.INI, in numeric order) and
//                        LngNamesColl (their names from LNG/lngnames.ini: each in its own language
//                        where the file has that section, else in the core's language, else in
//                        English, else the number), both indexed from 1, with Count
//   proc.NavBeep         Value (default member): 0/1, the tone on each navigation; [MIXED] NavBeep.
//                        The reader plays a short tone (engine/tone.h) on each move of the focus
//                        it hears while the stored value is 1; "TONE: navigation" on the output,
//                        with --no-audio that line only.
//   proc.BadWinMsg       Value (default member): 0/1, the message for a window without a focus;
//                        [MIXED] BadWinMsg
//   MixedSettings (root) SPCState, BRLState (0/1: long names in speech and in Braille), READState
//                        (the reader acts on the stored READState, see ReaderSettings)
//                        (what is read when a window comes to the front: 0 nothing, 1 its title,
//                        2 its title first, 4 the window; 3 is kept but means nothing): live
//                        values; SaveValues stores them in corvane.ini [MIXED], LoadValues takes the
//                        stored ones back
//
// corvane.ini [MIXED] also holds chkSayWelcome ("1" by default: a core that starts JexUI says the
// language's welcome.txt when it starts) and [SSRD] SSRDUseBraille, SSRDUseSpeech, which JexUI writes there.
#pragma once

#include "corvane/engine/users.h"

namespace corvane {

// The names of the settings of the document wizard and their defaults.
struct SettingDefault {
  const char* name;
  const char* value;
};
const QList<SettingDefault>& globalSettingDefaults();

// The live MixedSettings of a core (made on first use).
class MixedValues {
 public:
  explicit MixedValues(CoreModel& model);
  int value(int member) const { return values_[member]; }
  void setValue(int member, int v);  // throws jex::Error for a value the member does not take
  void load();
  bool save() const;
  enum Member { SPCState = 0, BRLState = 1, READState = 2, kCount = 3 };
  static const char* name(int member);

 private:
  CoreModel& model_;
  int values_[kCount] = {0, 0, 1};
};

// proc's GlobalSettings, Locale, NavBeep and BadWinMsg.
void addProcOptionMembers(const AddProperty& add, CoreModel& model);
// The root's MixedSettings over values.
void addMixedSettings(const AddProperty& add, std::shared_ptr<MixedValues> values);

// What the core says at start-up: the first lines of LNG/<lng>/welcome.txt when [MIXED]
// chkSayWelcome is not "0"; empty otherwise or when there is no such file.
QString welcomeText(CoreModel& model, const QString& lng);

}  // namespace corvane

// cIniFil: access to one INI file through the private-profile functions. The object keeps no
// copy of the file: every read sees what is on disk and every write goes to disk at once.
#pragma once

#include "ini/arrays.h"
#include "ini/cicollection.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace jex {

class cIniFil {
 public:
  static constexpr int kBufferStep = 5096;   // section buffers start here and grow by this
  static constexpr int kStringBuffer = 512;  // GetStr reads at most 511 characters
  static constexpr qint32 kMissing = -9898;  // GetLong's sign of a missing key

  cIniFil();

  // Stores the file name and the write-defaults switch; true when the file exists. Never
  // creates the file. codePage names the Windows code page of a file that is not UTF-8
  // (0: Western, 1252).
  bool Init(const QString& FileName, bool WriteDefaults, int codePage = 0);
  QString FileName() const { return fileName_; }
  void SetCodePage(int codePage) { codePage_ = codePage; }
  int CodePage() const { return codePage_; }

  bool SectionDelete(const QString& Section);
  // All section names in file order; Arr is left untouched when the file has none.
  void SectionEnum(Array1<QString>& Arr);
  bool SectionExists(const QString& Section);
  // The section's lines, comments left out (1 To n); erased when there is none.
  void SectionLoad(Array1<QString>& Arr, const QString& Section);
  // Split: (1, i) the key of entry i, (2, i) its value; erased when there is none.
  void SectionLoad(Array2<QString>& Arr, const QString& Section);
  // Every section in file order with its entries split as SectionLoad splits them, from one
  // reading of the file (a section name given twice: the first such section each time).
  struct LoadedSection {
    QString name;
    QList<std::pair<QString, QString>> entries;
  };
  QList<LoadedSection> SectionsLoad();
  bool LoadSectionToCollection(const QString& Section, CiCollection<QString>& Col);
  QString LoadSectionToString(const QString& Section);
  bool SectionWrite(const QString& Section, const Array1<QString>& Arr);

  qint32 GetLong(const QString& Section, const QString& Key, std::optional<qint32> Default = std::nullopt);
  QString GetStr(const QString& Section, const QString& Key, const std::optional<QString>& Default = std::nullopt);
  bool SettingSave(const QString& Section, const QString& Key, const QString& Value);
  // Several keys of one section in one atomic write (ini::WritePrivateProfileEntries); problem
  // gets the reason when nothing could be written.
  bool SettingsSave(const QString& Section, const QList<std::pair<QString, QString>>& Entries,
                    QString* problem = nullptr);
  QString GetLeftSide(const QString& Section, const QString& Key);
  QString GetRightSide(const QString& Section, const QString& Key);

 private:
  enum class ListKind { SectionNames, SectionLines };
  // The NUL-separated list of a section or of the section names, read with a growing buffer.
  QString readList(ListKind kind, const QString& Section);
  // The section's lines without comments.
  QStringList sectionLines(const QString& Section);

  QString fileName_;
  bool writeDefaults_ = false;
  int codePage_ = 0;
  QString buffer_;
  int bufferSize_ = kBufferStep;
};

}  // namespace jex

#include "widgets/rtfreader.h"

#include <QFile>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

#include "base/codepages.h"
#include "base/error.h"
#include "base/log.h"

namespace jex::rtf {

namespace {

// Replaces UTF-16 surrogates that are not part of a pair (from stray "\uN").
void repairSurrogates(QString& s) {
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s.at(i);
    if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
      ++i;
    } else if (c.isSurrogate()) {
      s[i] = QChar::ReplacementCharacter;
    }
  }
}

enum class Dest { Text, Skip, FontTable };

// Formatting that groups save and restore.
struct State {
  Dest dest = Dest::Text;
  bool bold = false, italic = false, underline = false, strike = false, hidden = false;
  int halfPoints = 24;
  int font = -1;  // -1: the default font
  int uc = 1;     // fallback characters after \uN
  // Paragraph properties, applied to the paragraph when it ends.
  int align = 0;  // 0 unset, else a Qt::Alignment
  bool rtl = false;
  int leftTwips = 0, rightTwips = 0, firstTwips = 0;

  void plain() {
    bold = italic = underline = strike = hidden = false;
    halfPoints = 24;
    font = -1;
  }
  void pard() {
    align = 0;
    rtl = false;
    leftTwips = rightTwips = firstTwips = 0;
  }
};

// Destinations whose content is never shown.
bool isSkippedDestination(const QByteArray& w) {
  static const char* const names[] = {"colortbl",
                                      "stylesheet",
                                      "info",
                                      "pict",
                                      "header",
                                      "headerl",
                                      "headerr",
                                      "headerf",
                                      "footer",
                                      "footerl",
                                      "footerr",
                                      "footerf",
                                      "footnote",
                                      "object",
                                      "objdata",
                                      "objclass",
                                      "listtable",
                                      "listoverridetable",
                                      "rsidtbl",
                                      "generator",
                                      "xmlnstbl",
                                      "themedata",
                                      "colorschememapping",
                                      "latentstyles",
                                      "datastore",
                                      "revtbl",
                                      "filetbl",
                                      "fldinst",
                                      "nonshppict",
                                      "shp",
                                      "shpinst",
                                      "bkmkstart",
                                      "bkmkend",
                                      "comment",
                                      "annotation",
                                      "atnid",
                                      "atnauthor",
                                      "pn",
                                      "xe",
                                      "tc",
                                      "txe",
                                      "rxe",
                                      "template",
                                      "userprops",
                                      "docvar",
                                      "password",
                                      "private",
                                      "author",
                                      "operator",
                                      "title",
                                      "subject",
                                      "keywords",
                                      "doccomm",
                                      "company",
                                      "category",
                                      "manager",
                                      "hlinkbase",
                                      "mmathPr",
                                      "wgrffmtfilter",
                                      "pgptbl",
                                      "protusertbl",
                                      "defchp",
                                      "defpap",
                                      "fchars",
                                      "lchars",
                                      "ftnsep",
                                      "ftnsepc",
                                      "ftncn",
                                      "aftnsep",
                                      "aftnsepc",
                                      "aftncn"};
  for (const char* n : names) {
    if (w == n) return true;
  }
  return false;
}

// Special characters written as control words.
char16_t specialChar(const QByteArray& w) {
  struct Entry {
    const char* word;
    char16_t ch;
  };
  static const Entry table[] = {{"emdash", 0x2014},  {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
                                {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"enspace", 0x2002},
                                {"emspace", 0x2003}, {"qmspace", 0x2005},   {"zwj", 0x200D},       {"zwnj", 0x200C},
                                {"ltrmark", 0x200E}, {"rtlmark", 0x200F},   {"line", 0x2028},      {"tab", u'\t'},
                                {"cell", u'\t'},     {"nestcell", u'\t'}};
  for (const Entry& e : table) {
    if (w == e.word) return e.ch;
  }
  return 0;
}

class Reader {
 public:
  Reader(const QByteArray& in, QTextDocument& doc) : p_(in.constData()), end_(in.constData() + in.size()), doc_(doc) {}

  void run() {
    doc_.clear();
    cursor_ = QTextCursor(&doc_);
    cursor_.beginEditBlock();
    while (p_ < end_ && *p_ != '{') ++p_;  // byte order mark, white space
    while (p_ < end_ && !finished_) step();
    finish();
    cursor_.endEditBlock();
  }

 private:
  void step() {
    const char c = *p_++;
    switch (c) {
      case '{':
        openGroup();
        break;
      case '}':
        closeGroup();
        break;
      case '\\':
        escape();
        break;
      case '\r':
      case '\n':
        break;
      case '\t':
        controlChar(u'\t');
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20) textByte(c);
        break;
    }
  }

  void openGroup() {
    flush();
    fallback_ = 0;
    if (stack_.size() < static_cast<size_t>(maxDepth)) {
      stack_.push_back(st_);
    } else {
      ++overflow_;
    }
    groupStart_ = true;
  }

  void closeGroup() {
    flush();
    fallback_ = 0;
    groupStart_ = false;
    if (overflow_ > 0) {
      --overflow_;
    } else if (stack_.size() == 1) {
      finished_ = true;  // the document's own group ended; its last paragraph keeps its format
    } else if (!stack_.empty()) {
      st_ = stack_.back();
      stack_.pop_back();
    }
  }

  void escape() {
    if (p_ >= end_) return;
    const char c = *p_;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      controlWord();
      return;
    }
    ++p_;
    const bool start = groupStart_;
    groupStart_ = false;
    if (c == '\'') {
      hexByte();
      return;
    }
    if (c == '*') {
      if (start) starred_ = true;
      groupStart_ = start;  // the destination word still counts as the group's first
      return;
    }
    if (fallback_ > 0) {
      --fallback_;
      return;
    }
    switch (c) {
      case '\\':
      case '{':
      case '}':
        controlChar(char16_t(c));
        break;
      case '~':
        controlChar(0x00A0);
        break;
      case '-':
        controlChar(0x00AD);
        break;
      case '_':
        controlChar(0x2011);
        break;
      case '\r':
      case '\n':
        paragraph();
        break;
      default:
        break;  // \| \: and unknown symbols
    }
  }

  void hexByte() {
    int value = 0, digits = 0;
    while (digits < 2 && p_ < end_) {
      const int d = hexDigit(*p_);
      if (d < 0) break;
      value = value * 16 + d;
      ++digits;
      ++p_;
    }
    if (digits > 0) textByte(static_cast<char>(value));
  }

  static int hexDigit(char h) {
    if (h >= '0' && h <= '9') return h - '0';
    if (h >= 'a' && h <= 'f') return h - 'a' + 10;
    if (h >= 'A' && h <= 'F') return h - 'A' + 10;
    return -1;
  }

  void controlWord() {
    const char* start = p_;
    while (p_ < end_ && ((*p_ >= 'a' && *p_ <= 'z') || (*p_ >= 'A' && *p_ <= 'Z'))) ++p_;
    const QByteArray word(start, std::min<qsizetype>(p_ - start, 32));
    bool hasParam = false;
    bool negative = false;
    long long param = 0;
    if (p_ < end_ && *p_ == '-' && p_ + 1 < end_ && *(p_ + 1) >= '0' && *(p_ + 1) <= '9') {
      negative = true;
      ++p_;
    }
    while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
      hasParam = true;
      if (param < 1000000000LL) param = param * 10 + (*p_ - '0');
      ++p_;
    }
    if (p_ < end_ && *p_ == ' ') ++p_;
    const int n = static_cast<int>(negative ? -param : param);

    const bool first = groupStart_;
    const bool starred = starred_;
    groupStart_ = false;
    starred_ = false;

    if (word == "bin") {  // binary data follows, shown nowhere
      p_ += std::min<long long>(std::max(n, 0), end_ - p_);
      return;
    }
    if (st_.dest == Dest::Skip) return;
    if (st_.dest == Dest::FontTable) {
      fontTableWord(word, hasParam, n, first, starred);
      return;
    }
    if (fallback_ > 0) {
      --fallback_;
      return;
    }
    if (word == "u") {
      unicodeChar(n);
      return;
    }
    if (const char16_t ch = specialChar(word)) {
      controlChar(ch);
      return;
    }
    flush();
    if (word == "fonttbl") {
      st_.dest = Dest::FontTable;
    } else if (isSkippedDestination(word) || (starred && first)) {
      st_.dest = Dest::Skip;
    } else {
      formatWord(word, hasParam, n);
    }
  }

  void fontTableWord(const QByteArray& word, bool hasParam, int n, bool first, bool starred) {
    if (starred && first) {
      st_.dest = Dest::Skip;  // \panose, \falt and the like
    } else if (word == "f" && hasParam) {
      tableFont_ = n;
    } else if (word == "fcharset" && fontCodePages_.size() < 4096) {
      fontCodePages_.insert(tableFont_, codepage::ofCharset(n));
    } else if (word == "cpg" && n > 0 && fontCodePages_.size() < 4096) {
      fontCodePages_.insert(tableFont_, n);
    }
  }

  void formatWord(const QByteArray& w, bool hasParam, int n) {
    const bool on = !hasParam || n != 0;
    if (w == "par" || w == "sect" || w == "page" || w == "row" || w == "nestrow") {
      paragraph();
    } else if (w == "b") {
      st_.bold = on;
    } else if (w == "i") {
      st_.italic = on;
    } else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "uldash" || w == "ulth" || w == "ulwave") {
      st_.underline = on;
    } else if (w == "ulnone") {
      st_.underline = false;
    } else if (w == "strike") {
      st_.strike = on;
    } else if (w == "v") {
      st_.hidden = on;
    } else if (w == "fs") {
      st_.halfPoints = n <= 0 ? 24 : std::clamp(n, 2, 400);
    } else if (w == "plain") {
      st_.plain();
    } else if (w == "pard") {
      st_.pard();
    } else if (w == "ql") {
      st_.align = Qt::AlignLeft;
    } else if (w == "qr") {
      st_.align = Qt::AlignRight;
    } else if (w == "qc") {
      st_.align = Qt::AlignHCenter;
    } else if (w == "qj") {
      st_.align = Qt::AlignJustify;
    } else if (w == "li") {
      st_.leftTwips = std::clamp(n, -20000, 20000);
    } else if (w == "ri") {
      st_.rightTwips = std::clamp(n, -20000, 20000);
    } else if (w == "fi") {
      st_.firstTwips = std::clamp(n, -20000, 20000);
    } else if (w == "rtlpar") {
      st_.rtl = true;
    } else if (w == "ltrpar") {
      st_.rtl = false;
    } else if (w == "f" && hasParam) {
      st_.font = n;
    } else if (w == "deff" && hasParam) {
      defaultFont_ = n;
    } else if (w == "uc") {
      st_.uc = std::clamp(n, 0, 10);
    } else if (w == "ansicpg") {
      docCodePage_ = n > 0 ? n : codepage::kWestern;
    } else if (w == "mac") {
      docCodePage_ = 10000;
    } else if (w == "pc") {
      docCodePage_ = 437;
    } else if (w == "pca") {
      docCodePage_ = 850;
    }
  }

  void unicodeChar(int n) {
    if (n < 0) n += 65536;
    if (n > 0 && n <= 0xFFFF) controlChar(char16_t(n));
    fallback_ = st_.uc;
  }

  bool showing() const { return st_.dest == Dest::Text && !st_.hidden; }

  int codePage() const {
    const int font = st_.font >= 0 ? st_.font : defaultFont_;
    const int cp = fontCodePages_.value(font, 0);
    return cp > 0 ? cp : docCodePage_;
  }

  void textByte(char b) {
    if (fallback_ > 0) {
      --fallback_;
      return;
    }
    if (!showing()) return;
    if (static_cast<unsigned char>(b) < 0x20) {  // only "\'hh" gets here with a control byte
      if (b == '\t') controlChar(u'\t');
      return;
    }
    const int cp = codePage();
    if (!bytes_.isEmpty() && cp != bytesCodePage_) decodeBytes();
    bytes_.append(b);
    bytesCodePage_ = cp;
  }

  void controlChar(char16_t c) {
    if (!showing()) return;
    if (c < 0x20 && c != u'\t') return;
    decodeBytes();
    text_.append(QChar(c));
  }

  void decodeBytes() {
    if (bytes_.isEmpty()) return;
    text_ += codepage::decode(bytes_, bytesCodePage_);
    bytes_.clear();
  }

  QTextCharFormat charFormat() const {
    QTextCharFormat f;
    f.setFontWeight(st_.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(st_.italic);
    f.setFontUnderline(st_.underline);
    f.setFontStrikeOut(st_.strike);
    f.setFontPointSize(st_.halfPoints / 2.0);
    return f;
  }

  // Writes the text gathered so far with the formatting it was gathered under.
  void flush() {
    decodeBytes();
    if (text_.isEmpty()) return;
    repairSurrogates(text_);
    cursor_.insertText(text_, charFormat());
    text_.clear();
  }

  void applyBlockFormat() {
    constexpr double twipsPerPixel = 15.0;  // 1440 twips per inch at 96 pixels per inch
    QTextBlockFormat f;
    if (st_.align != 0) f.setAlignment(Qt::Alignment(st_.align) | Qt::AlignAbsolute);
    if (st_.rtl) f.setLayoutDirection(Qt::RightToLeft);
    f.setLeftMargin(std::max(0.0, st_.leftTwips / twipsPerPixel));
    f.setRightMargin(std::max(0.0, st_.rightTwips / twipsPerPixel));
    f.setTextIndent(st_.firstTwips / twipsPerPixel);
    cursor_.setBlockFormat(f);
  }

  void paragraph() {
    if (st_.dest != Dest::Text) return;
    flush();
    applyBlockFormat();
    cursor_.insertBlock(QTextBlockFormat(), charFormat());
  }

  void finish() {
    flush();
    // A closing \par leaves an empty last paragraph; it is not part of the text.
    if (cursor_.block().length() <= 1 && doc_.blockCount() > 1) {
      cursor_.deletePreviousChar();
    } else {
      applyBlockFormat();
    }
  }

  const char* p_;
  const char* end_;
  QTextDocument& doc_;
  QTextCursor cursor_;
  State st_;
  std::vector<State> stack_;
  int overflow_ = 0;
  bool finished_ = false;
  bool groupStart_ = false;
  bool starred_ = false;
  int fallback_ = 0;
  int docCodePage_ = codepage::kWestern;
  int defaultFont_ = -1;
  int tableFont_ = -1;
  QHash<int, int> fontCodePages_;
  QByteArray bytes_;
  int bytesCodePage_ = codepage::kWestern;
  QString text_;
};

}  // namespace

bool isRtf(const QByteArray& data) {
  QByteArrayView view(data);
  if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
  return view.trimmed().startsWith("{\\rtf");
}

bool read(const QByteArray& rtf, QTextDocument& doc) {
  return trapped("rtf::read", false, [&] {
    if (!isRtf(rtf)) return false;
    Reader(rtf, doc).run();
    return true;
  });
}

bool readFile(const QString& path, QTextDocument& doc) {
  return trapped("rtf::readFile", false, [&] {
    doc.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      throw Error(err::FileError, QStringLiteral("cannot read ") + path + QStringLiteral(": ") + file.errorString());
    }
    if (file.size() > maxFileSize) {
      throw Error(err::FileError, QStringLiteral("file too large: ") + path);
    }
    const QByteArray data = file.readAll();
    WriteLog(QStringLiteral("rtf::readFile: ") + path, kDetail);
    if (!read(data, doc)) doc.setPlainText(codepage::decodeText(data));
    return true;
  });
}

}  // namespace jex::rtf

// The four standard button captions (yes, no, OK, cancel) of the script boxes. They are plain
// labels on a hidden resource form named "frmMain" (lblYes, lblNo, lblOK, lblCancel), so that
// the language file's [frmMain] section translates them with the rest of the captions.
#pragma once

#include <QString>

class QWidget;

namespace jex {

enum class StdCaption { Yes, No, OK, Cancel };

// The caption in the current language (German when the language file has none).
QString StandardCaption(StdCaption which);

// The hidden form holding the labels, localised for the current language.
QWidget* standardCaptionsForm();

// Drops the form; the next use builds and localises it again.
void resetStandardCaptions();

}  // namespace jex

// The desktop's form before an erase run: who erases, for whom, where, and
// the asset's number, kept in the run's record. The first three are
// remembered for the next run in the user's data folder; the asset tag
// belongs to one drive and is not.
#pragma once

#include <string>

#include "erase/EraseRecord.h"
#include "ui/UiSeam.h"

namespace quarnel {

/// The request the form is shown with.
TFieldsDialogRequest EraseContextRequest();

/// A field as the record keeps it: blanks at either end and control
/// characters (a pasted line break) removed.
std::string CleanContextField(const std::string& text);

/// The remembered fields as the file holds them ("operator=...", one a line)
/// and back; the asset tag is never written, unknown lines are skipped.
std::string RememberedContextText(const TEraseContext& context);
TEraseContext ReadRememberedContext(const std::string& text);

/// The file in the user's data folder; empty when the folder is not known.
std::string RememberedContextPath();

/// The form's step before a run: shown with the remembered values (the asset
/// tag empty), what it gives cleaned, remembered and handed back in *asked
/// for the run's record. False when the person cancelled: no run.
bool AskEraseContext(TEraseContext* asked);

}  // namespace quarnel

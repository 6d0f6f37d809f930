// Shows a log pane in a text widget: its lines so far, then every new line
// as it is written, the last one in view.
#pragma once

class QPlainTextEdit;

namespace quarnel {

class TLogPane;

/// Fills `view` with the pane's lines and appends each later one; the
/// binding ends when the widget is destroyed.
void BindPane(QPlainTextEdit* view, TLogPane& pane);

}  // namespace quarnel

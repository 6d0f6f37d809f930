// Shows a log pane in a text widget: its lines so far, then every new line
// as it is written.
#pragma once

class QPlainTextEdit;

namespace quarnel {

class TLogPane;

/// How a pane scrolls when lines arrive: a log follows its last line; a
/// report pane shows the start of the newest report (the lines written in
/// one go).
enum class TPaneScroll { FollowEnd, NewestReport };

/// Fills `view` with the pane's lines and appends each later one; the
/// binding ends when the widget is destroyed.
void BindPane(QPlainTextEdit* view, TLogPane& pane, TPaneScroll scroll = TPaneScroll::FollowEnd);

}  // namespace quarnel

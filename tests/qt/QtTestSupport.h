// Helpers of the Qt desktop tests: a data folder for the acceptance file and
// a scripted user who answers modal windows; the simulated machines come from
// tests/support.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "support/SimSupport.h"

namespace quarnel::test {

/// A fresh data folder as $XDG_DATA_HOME, optionally with an acceptance file.
class TDataFolder {
 public:
  explicit TDataFolder(const char* acceptance = "1");
  QString AcceptanceFile() const;
  QString Read() const;

 private:
  QTemporaryDir dir_;
};

/// Answers modal windows from a timer: each handler is offered the active
/// modal window and returns true when it has dealt with it. The windows seen
/// are kept by class name and title.
class TModalScript : public QObject {
 public:
  using THandler = std::function<bool(QWidget*)>;
  TModalScript();
  void Then(THandler handler) { handlers_.push_back(std::move(handler)); }
  /// Handlers not yet used.
  size_t Pending() const { return handlers_.size(); }
  QStringList Seen;

 private:
  void Poll();
  std::deque<THandler> handlers_;
  QTimer timer_;
  QWidget* last_ = nullptr;
  bool scheduled_ = false;
};

/// Spins the event loop until `done` or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms = 10000);

}  // namespace quarnel::test

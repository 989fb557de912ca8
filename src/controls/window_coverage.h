#pragma once

#include <QObject>

#include <cstdint>

class QWidget;

namespace orvelle {

// Whether the window a control lies in is fully covered by other windows, so that nothing of it
// can be seen although it is shown and not minimised.
//
// The X server tells each window that asks when it becomes fully obscured, partly obscured or
// unobscured (VisibilityNotify); the watch asks for that on the control's window once it exists
// (Watch) and reports each change of "fully covered". Under a compositing manager, windows are
// drawn off-screen and the server reports them never covered; without X (other platforms,
// off-screen tests) nothing is reported and Covered() stays false.
class WindowCoverage : public QObject {
  Q_OBJECT

 public:
  explicit WindowCoverage(QWidget* control);
  ~WindowCoverage() override;

  // Asks the server about the control's window, when there is one and it was not asked yet (call
  // when the control is shown: its window may have been created, or created anew, since).
  void Watch();
  bool Covered() const { return covered_; }

 signals:
  void CoveredChanged(bool covered);

 private:
  friend class VisibilityReports;
  // The server's report for a window, as the application's event filter hands it over.
  void Report(std::uint32_t window, bool fully_obscured);

  QWidget* control_;
  std::uint32_t window_ = 0;
  bool covered_ = false;
};

}  // namespace orvelle

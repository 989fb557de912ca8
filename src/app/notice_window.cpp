#include "app/notice_window.h"

#include <QFontMetrics>

namespace orvelle {

void NoticeWindow::showEvent(QShowEvent* event) {
  if (!text_starts_at_first_line_ && noticeText) {
    text_starts_at_first_line_ = true;
    QStringList lines = noticeText->Lines();
    int leading = 0;
    while (leading < lines.size() && lines[leading].isEmpty()) ++leading;
    if (leading > 0 && leading < lines.size()) {
      lines.remove(0, leading);
      const int line_height = QFontMetrics(noticeText->Editor()->font()).lineSpacing();
      noticeText->SetContentMarginTop(noticeText->ContentMarginTop() + leading * line_height);
      noticeText->SetLines(lines);
    }
  }
  Form::showEvent(event);
}

}  // namespace orvelle

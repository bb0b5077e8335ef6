// A page control: a row of tabs over a raised frame holding one page at a time. The pages
// (TTabSheet) are its children in the form description; the active page fills the frame's
// inside. The control itself takes the focus (on its tabs); Left/Right choose a page.
#pragma once

#include "toolkit/control.h"

namespace toolkit {

class TTabSheet;

class TPageControl : public TControl {
  Q_OBJECT
  Q_PROPERTY(toolkit::TTabSheet *ActivePage READ activePage WRITE setActivePage)

public:
  explicit TPageControl(QWidget *parent = nullptr);

  TTabSheet *activePage() const { return activePage_; }
  void setActivePage(TTabSheet *page);
  std::vector<TTabSheet *> pages() const;
  // The rectangle of a page: inside the frame below the tabs.
  QRect pageRect() const;
  // Where the tab of page `index` is drawn.
  QRect tabRect(int index) const;
  void loaded() override;

  // The height of the tab row and the frame around the pages, in pixels at 96 dpi.
  static constexpr int kTabRowHeight = 20;
  static constexpr int kFrameWidth = 4;

protected:
  void paintEvent(QPaintEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

private:
  void placePages();
  TTabSheet *activePage_ = nullptr;
};

class TTabSheet : public TControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)

public:
  explicit TTabSheet(QWidget *parent = nullptr);
  const QString &caption() const { return caption_; }
  void setCaption(const QString &caption);

private:
  QString caption_;
};

} // namespace toolkit

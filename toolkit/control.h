// The base of every visual control: a widget placed at fixed pixel positions inside its
// parent, with the properties a form description sets on it.
#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <vector>

namespace toolkit {

// Colours as the form description names them: 0x00BBGGRR for plain colours, or one of the
// system colours below (resolved through the application's palette).
using TColor = int;
inline constexpr TColor clSystemColor = int(0x80000000u);
inline constexpr TColor clBtnFace = clSystemColor | 1;
inline constexpr TColor clWindow = clSystemColor | 2;
inline constexpr TColor clWindowText = clSystemColor | 3;
inline constexpr TColor clBtnHighlight = clSystemColor | 4;
inline constexpr TColor clBtnShadow = clSystemColor | 5;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clCream = 0xF0FBFF;
QColor toQColor(TColor color);

// Alignment of a control inside its parent; the parent places aligned children in the
// order top, bottom, left, right, client.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Cursor identifiers map to Qt's shapes; crDefault leaves the parent's cursor.
inline constexpr int crDefault = -1;

// A control's font. Setting any part of it detaches the control from its parent's font.
class TFont : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Name READ name WRITE setName)
  Q_PROPERTY(int Height READ height WRITE setHeight)
  Q_PROPERTY(int Size READ size WRITE setSize)
  Q_PROPERTY(int Color READ color WRITE setColor)
  Q_PROPERTY(QStringList Style READ style WRITE setStyle)
  Q_PROPERTY(int Charset READ charset WRITE setCharset)

public:
  TFont(QWidget *owner, const QFont &initial, TColor color);
  QString name() const { return font_.family(); }
  void setName(const QString &name);
  // Negative: character height in pixels without internal leading, as the screen shows it.
  int height() const { return -font_.pixelSize(); }
  void setHeight(int height);
  int size() const;
  void setSize(int points);
  TColor color() const { return color_; }
  void setColor(TColor color);
  QStringList style() const;
  void setStyle(const QStringList &style);
  int charset() const { return charset_; }
  void setCharset(int charset) { charset_ = charset; }
  const QFont &font() const { return font_; }

private:
  void apply();
  QWidget *owner_;
  QFont font_;
  TColor color_;
  int charset_ = 1;
};

class TControl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Left READ left WRITE setLeft)
  Q_PROPERTY(int Top READ top WRITE setTop)
  Q_PROPERTY(int Width READ width WRITE setWidth)
  Q_PROPERTY(int Height READ height WRITE setHeight)
  Q_PROPERTY(int Align READ align WRITE setAlign)
  Q_PROPERTY(int Cursor READ cursorShape WRITE setCursorShape)
  Q_PROPERTY(int Color READ color WRITE setColor)
  Q_PROPERTY(bool ParentColor READ parentColor WRITE setParentColor)
  Q_PROPERTY(toolkit::TFont *Font READ fontObject)
  Q_PROPERTY(bool ParentFont READ parentFont WRITE setParentFont)
  Q_PROPERTY(int TabOrder READ tabOrder WRITE setTabOrder)
  Q_PROPERTY(bool TabStop READ tabStop WRITE setTabStop)
  Q_PROPERTY(bool Visible READ isVisibleSetting WRITE setVisibleSetting)

public:
  explicit TControl(QWidget *parent = nullptr);

  int left() const { return x(); }
  void setLeft(int left) { move(left, y()); }
  int top() const { return y(); }
  void setTop(int top) { move(x(), top); }
  void setWidth(int width) { resize(width, height()); }
  void setHeight(int height) { resize(width(), height); }
  int align() const { return align_; }
  void setAlign(int align);
  int cursorShape() const { return cursorShape_; }
  void setCursorShape(int shape);
  TColor color() const { return color_; }
  void setColor(TColor color);
  bool parentColor() const { return parentColor_; }
  void setParentColor(bool parentColor);
  TFont *fontObject();
  bool parentFont() const { return font_ == nullptr; }
  void setParentFont(bool parentFont);
  int tabOrder() const { return tabOrder_; }
  void setTabOrder(int order) { tabOrder_ = order; }
  bool tabStop() const { return tabStop_; }
  void setTabStop(bool stop);
  bool isVisibleSetting() const { return visibleSetting_; }
  void setVisibleSetting(bool visible) { visibleSetting_ = visible; }

  // Where child controls of the form description are placed (a panel itself; a form its
  // client area; a page control its pages).
  virtual QWidget *childContainer() { return this; }
  // The rectangle inside which aligned children are laid out (inside bevels and borders).
  virtual QRect alignRect() const { return rect(); }
  // Called once after the whole form description is read and every reference resolved.
  virtual void loaded();
  // Windowed controls lie over the pictures, labels and buttons of the same parent.
  virtual bool isWindowed() const { return true; }
  // Scales position, size and an own font by numerator/denominator, then the children
  // (pictures keep their pixel size: only their controls' rectangles change).
  virtual void scaleBy(int numerator, int denominator);

  // The colour the control paints its background with, resolved to RGB.
  QColor backgroundColor() const;

signals:
  void OnClick(QObject *Sender);

protected:
  // A failure in a handler is caught here, before it would unwind through Qt's event
  // delivery (which is not written for exceptions), and shown in the error box.
  bool event(QEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  // Graphic controls: a press and release inside the control is a click.
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  virtual void applyColor();
  bool pressedInside_ = false;

private:
  int align_ = alNone;
  int cursorShape_ = crDefault;
  TColor color_ = clBtnFace;
  bool parentColor_ = true;
  QPointer<TFont> font_;
  int tabOrder_ = -1;
  bool tabStop_ = false;
  bool visibleSetting_ = true;
};

// numerator/denominator of a value, rounded to the nearest integer.
int mulDiv(int value, int numerator, int denominator);

// Lays out the aligned TControl children of a container in the order top, bottom, left,
// right, client, within the container's align rectangle.
void arrangeAlignedChildren(QWidget *container, const QRect &area);

// Links the focus chain of a window in tab order: siblings by TabOrder, depth first.
void applyTabOrder(QWidget *window);

// The window's tab stops in tab order (siblings by TabOrder, depth first).
std::vector<QWidget *> tabStops(QWidget *window);

} // namespace toolkit

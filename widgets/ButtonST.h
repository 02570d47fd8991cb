// The tool's flat push button: a plain face, a raised edge only while the
// pointer is over it, a sunken edge while pressed, no focus rectangle, and an
// icon that stays grey until the pointer comes over the button.
#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QString>

class CButtonST : public QPushButton {
  public:
    explicit CButtonST(QWidget* parent = nullptr);

    // The hover icon, and the rest icon: none, another icon, or the hover
    // icon in grey (`restIsGrey`, the automatic grey). Answers 1 when the
    // hover icon cannot be read (the icons are then released), else 0.
    int AssignIcons(const QString& hoverIcon, bool restIsGrey);
    int AssignIcons(const QPixmap& hover, const QPixmap& rest);
    // No effect for an empty text; otherwise sets the tip (at most 400 pixels wide).
    void AssignTooltip(const QString& text, bool activate = true);
    // The main window's form: icon with its grey copy, tip, and the button's own font.
    void AssignIconTooltipAndFont(const QString& iconPath, const QString& text);

    // g = 0.299 R + 0.587 G + 0.114 B for every non-black pixel; black stays
    // black; the icon's own transparency (mask) is kept.
    static QPixmap GreyIcon(const QPixmap& icon);
    // The button's own font: "ＭＳ Ｐゴシック", height 14 pixels, weight 500,
    // falling back to the installed Japanese Gothic font.
    static QFont OwnFont();

    // How the caption is drawn: centred, word-wrapped, inside CaptionArea().
    static constexpr int kCaptionFlags = Qt::AlignCenter | Qt::TextWordWrap;
    // The caption's rectangle while the button is not pressed: right of the
    // icon when there is one, else the whole button.
    QRect CaptionArea() const;

    bool isMouseOver() const { return mouseOver_; }
    bool tooltipCreated() const { return tooltipCreated_; }
    const QPixmap& hoverIcon() const { return hover_; }
    const QPixmap& restIcon() const { return rest_; }

    // The default-button flag: Enter in the dialog presses this button.
    void setDefaultButton(bool on) { setDefault(on); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void setMouseOver(bool over);

    QPixmap hover_;
    QPixmap rest_;
    bool mouseOver_ = false;
    bool tooltipCreated_ = false;
    QString tooltipText_;
    bool tooltipActive_ = false;
};

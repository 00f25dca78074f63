// LinkLabel: underlined link text with a hand cursor and a tooltip. Long text without blanks (a
// folder path) wraps at any character, so all of it stays inside the label's width. The label
// does not open anything itself: its owner decides what a click does.
#pragma once

#include <QWidget>

class LinkLabel : public QWidget
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    void setText(const QString& text);
    [[nodiscard]] const QString& text() const { return m_text; }
    void setTarget(const QString& target) { m_target = target; }
    [[nodiscard]] const QString& target() const { return m_target; }

    // Shrinks the label to its text, at most maxWidth wide, centred vertically in its current
    // rectangle.
    void sizeToContent(int maxWidth);

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] QRect textRect(int width) const;

    QString m_text;
    QString m_target;
};

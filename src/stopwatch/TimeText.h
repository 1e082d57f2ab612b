#pragma once

#include <QHash>
#include <QLabel>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace pendra {

// Draws a running time one cached glyph at a time. Its characters (digits,
// ':' and '.') need no shaping, and shaping the whole text anew at every
// frame was most of what drawing a running stopwatch cost.
class GlyphCache {
public:
    void draw(QPainter& painter, const QFont& font, const QRect& rect, Qt::Alignment alignment,
              const QString& text);

private:
    struct Glyph {
        QStaticText text;
        qreal advance = 0;
    };
    QFont font_;
    QHash<QChar, Glyph> glyphs_;
};

// The stopwatch's total: a plain-text label whose text is drawn from cached
// glyphs. Its size is fixed, so a new text asks for no layout.
class TimeLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GlyphCache glyphs_;
};

// The lap table's time column, drawn from cached glyphs.
class TimeCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    mutable GlyphCache glyphs_;
};

}  // namespace pendra

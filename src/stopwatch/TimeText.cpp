#include "stopwatch/TimeText.h"

#include <QPainter>
#include <QStyle>

namespace pendra {

void GlyphCache::draw(QPainter& painter, const QFont& font, const QRect& rect,
                      Qt::Alignment alignment, const QString& text) {
    if (font != font_) {
        font_ = font;
        glyphs_.clear();
    }
    painter.setFont(font_);
    qreal width = 0;
    for (QChar c : text) {
        auto it = glyphs_.find(c);
        if (it == glyphs_.end()) {
            Glyph g{QStaticText(QString(c)), 0};
            g.text.setTextFormat(Qt::PlainText);
            g.text.prepare(QTransform(), font_);
            g.advance = QFontMetricsF(font_).horizontalAdvance(c);
            it = glyphs_.insert(c, g);
        }
        width += it->advance;
    }
    const qreal height = QFontMetricsF(font_).height();
    qreal x = rect.left();
    if (alignment & Qt::AlignHCenter) {
        x += (rect.width() - width) / 2;
    } else if (alignment & Qt::AlignRight) {
        x += rect.width() - width;
    }
    const qreal y = rect.top() + (rect.height() - height) / 2;
    for (QChar c : text) {
        const Glyph& g = glyphs_[c];
        painter.drawStaticText(QPointF(x, y), g.text);
        x += g.advance;
    }
}

void TimeLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    glyphs_.draw(painter, font(), contentsRect(), alignment(), text());
}

void TimeCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QWidget* view = option.widget;
    const QStyle* style = view ? view->style() : nullptr;
    const int margin =
        style ? style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1 : 3;
    painter->save();
    painter->setPen(option.palette.color(QPalette::Text));
    glyphs_.draw(*painter, option.font, option.rect.adjusted(margin, 0, -margin, 0),
                 Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()),
                 index.data(Qt::DisplayRole).toString());
    painter->restore();
}

}  // namespace pendra

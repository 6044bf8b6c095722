#include "TextFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

namespace qmt::test {
namespace {

// Widest line of a text as the widget draws it; an '&' marks a mnemonic.
int textWidth(const QWidget* w, QString text, bool mnemonic) {
    if (mnemonic) text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, w->fontMetrics().horizontalAdvance(line));
    return widest;
}

QString name(const QWidget* w) {
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

void check(QStringList& out, const QWidget* w, const QString& text, int need, int room) {
    if (text.isEmpty() || need <= room) return;
    out << QStringLiteral("%1: '%2' needs %3 px, has %4").arg(name(w), text).arg(need).arg(room);
}

// Room for the text beside the indicator of a radio item or check box.
int indicatorTextRoom(const QAbstractButton* b, QStyle::SubElement element) {
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    return b->style()->subElementRect(element, &option, b).width();
}

// The colour most pixels of an image have: its background.
QRgb commonest(const QImage& image) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    return best;
}

} // namespace

QStringList clippedTexts(QWidget* root) {
    // As the window shows a text once its layout has caught up with it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QStringList out;
    QWidget* window = root->window();
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (w != window && !w->isVisibleTo(window)) continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->wordWrap() || label->textFormat() == Qt::RichText ||
                !label->pixmap().isNull())
                continue;
            const int margin = 2 * label->margin() + 2 * label->indent() * (label->indent() > 0);
            check(out, w, label->text(), textWidth(w, label->text(), label->buddy() != nullptr),
                  label->contentsRect().width() - margin);
        } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            check(out, w, radio->text(), textWidth(w, radio->text(), true),
                  indicatorTextRoom(radio, QStyle::SE_RadioButtonContents));
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            check(out, w, box->text(), textWidth(w, box->text(), true),
                  indicatorTextRoom(box, QStyle::SE_CheckBoxContents));
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            // A caption that touches the bevel reads as cut: keep 4 px each side.
            check(out, w, button->text(), textWidth(w, button->text(), true) + 8,
                  button->contentsRect().width() - 4);
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            // The caption starts a little in from the frame and must end before it does.
            check(out, w, group->title(), textWidth(w, group->title(), true) + 16, group->width());
        }
    }
    return out;
}

std::string unframedItemReport(QWidget* root) {
    // What the window shows of each item against what the item draws alone:
    // a frame line through it, a caption over it or a group that cuts it off
    // changes its pixels, however the program placed it.
    QStringList out;
    QWidget* window = root->window();
    const QImage shown = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!qobject_cast<QRadioButton*>(b) && !qobject_cast<QCheckBox*>(b)) continue;
        auto* group = qobject_cast<QGroupBox*>(b->parentWidget());
        if (!group || group->title().isEmpty() || !b->isVisibleTo(window)) continue;
        const QRect place(b->mapTo(window, QPoint(0, 0)), b->size());
        if (!shown.rect().contains(place)) {
            out << QStringLiteral("%1 in '%2': outside the window").arg(name(b), group->title());
            continue;
        }
        // The item drawn alone on the paper the window shows around it.
        const QImage there = shown.copy(place);
        QImage alone(place.size(), QImage::Format_RGB32);
        alone.fill(commonest(there));
        b->render(&alone, QPoint(), QRegion(), QWidget::DrawChildren);
        int top = alone.height(), bottom = -1;
        for (int y = 0; y < alone.height(); ++y)
            for (int x = 0; x < alone.width(); ++x)
                if (alone.pixel(x, y) != there.pixel(x, y)) {
                    top = qMin(top, y);
                    bottom = qMax(bottom, y);
                }
        if (bottom >= 0)
            out << QStringLiteral("%1 in '%2': rows %3..%4 of it are not what it draws")
                       .arg(name(b), group->title())
                       .arg(top)
                       .arg(bottom);
    }
    return out.join(QLatin1Char('\n')).toStdString();
}

std::string clippedTextReport(QWidget* root) {
    return clippedTexts(root).join(QLatin1Char('\n')).toStdString();
}

std::string clippedTitleReport(QWidget* root) {
    const QWidget* window = root->window();
    // A common window manager's title bar: the caption in bold, two pixels
    // larger than the program's text, beside the window icon, three buttons
    // and its margins.
    constexpr int IconButtonsAndMargins = 120;
    QFont font = window->font();
    font.setBold(true);
    if (font.pixelSize() > 0) font.setPixelSize(font.pixelSize() + 2);
    const int need =
        QFontMetrics(font).horizontalAdvance(window->windowTitle()) + IconButtonsAndMargins;
    QStringList out;
    check(out, window, window->windowTitle(), need, window->width());
    return out.join(QLatin1Char('\n')).toStdString();
}

} // namespace qmt::test

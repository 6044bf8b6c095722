// The routing diagram: its controls at their designed places, the arrow glyphs
// and the routes between sources and switches.
#include "config/ClickablePanel.h"
#include "config/TPidConf.h"

#include "dialogs/FramedItems.h"

#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "link/ModeItems.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>

namespace {

// The central widget; its paint handler is the window's FormPaint.
class DiagramWidget : public QWidget {
public:
    DiagramWidget(TPidConf* owner) : QWidget(owner), owner_(owner) {
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::white);
        setPalette(p);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter canvas(this);
        owner_->FormPaint(canvas);
    }

private:
    TPidConf* owner_;
};

// A black arrow on a transparent ground, pointing right or up, filling its size.
QPixmap arrowGlyph(QSize size, bool up) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const int w = size.width(), h = size.height();
    if (!up) {
        const int head = qMin(w, h / 2 + 2);
        const int mid = h / 2;
        p.drawRect(0, mid - 1, w - head, 2);
        QPainterPath tip;
        tip.moveTo(w - head, 0);
        tip.lineTo(w, mid);
        tip.lineTo(w - head, h);
        tip.closeSubpath();
        p.drawPath(tip);
    } else {
        const int head = qMin(h, w / 2 + 2);
        const int mid = w / 2;
        p.drawRect(mid - 1, head, 2, h - head);
        QPainterPath tip;
        tip.moveTo(0, head);
        tip.lineTo(mid, 0);
        tip.lineTo(w, head);
        tip.closeSubpath();
        p.drawPath(tip);
    }
    return pixmap;
}

QLabel* image(QWidget* parent, const char* name, const QRect& r, bool up, bool visible = true) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(r);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setPixmap(arrowGlyph(r.size(), up));
    label->setVisible(visible);
    return label;
}

qmt::ClickablePanel* panel(QWidget* parent, const char* name, const QString& caption,
                           const QRect& r, int tag) {
    auto* p = new qmt::ClickablePanel(caption, parent);
    p->setObjectName(QLatin1String(name));
    p->setGeometry(r);
    p->Tag = tag;
    return p;
}

qmt::RadioGroup* radioGroup(QWidget* parent, const char* name, const QRect& r,
                            const QStringList& items) {
    auto* g = new qmt::RadioGroup(parent);
    g->setObjectName(QLatin1String(name));
    g->setGeometry(r);
    g->setItems(items);
    return g;
}

} // namespace

void TPidConf::buildDiagram() {
    using qmt::ClickablePanel;
    diagram_ = new DiagramWidget(this);
    diagram_->setObjectName(QStringLiteral("Diagram"));
    QWidget* d = diagram_;

    MBus = panel(d, "MBus", QStringLiteral("MB"), {4, 96, 51, 129}, 0);
    imMBOut = image(d, "imMBOut", {55, 159, 14, 10}, false);

    static const char* const swNames[3] = {"swpid1", "swpid2", "swpid3"};
    static const char* const markerNames[3] = {"imInPid1", "imInPid2", "imInPid3"};
    static const char* const inNames[3] = {"InPid1", "InPid2", "InPid3"};
    static const char* const pidNames[3] = {"pid1", "pid2", "pid3"};
    static const char* const outNames[3] = {"imOutPid1", "imOutPid2", "imOutPid3"};
    static const char* const fbNames[3] = {"FB1Image", "FB2Image", "FB3Image"};
    static const char* const fbOutNames[3] = {"imFB1Out", "imFB2Out", "imFB3Out"};
    static const char* const labelNames[3] = {"Label1", "Label2", "Label3"};
    static const char* const paNames[3] = {"paFB1", "paFB2", "paFB3"};
    const QStringList swItems[3] = {
        {QStringLiteral("MB"), QStringLiteral("ПИД2"), QStringLiteral("ПИД3"),
         QStringLiteral("FB2"), QStringLiteral("FB3"), QStringLiteral("Откл.")},
        {QStringLiteral("MB"), QStringLiteral("ПИД1"), QStringLiteral("ПИД3"),
         QStringLiteral("FB1"), QStringLiteral("FB3"), QStringLiteral("Откл.")},
        {QStringLiteral("MB"), QStringLiteral("ПИД1"), QStringLiteral("ПИД2"),
         QStringLiteral("FB1"), QStringLiteral("FB2"), QStringLiteral("Откл.")}};
    const QRect swRect[3] = {{100, 96, 72, 129}, {283, 96, 72, 129}, {466, 96, 72, 129}};
    const QRect markerRect[3] = {{86, 155, 14, 10}, {269, 155, 14, 10}, {452, 159, 14, 10}};
    const QRect inRect[3] = {{170, 155, 21, 10}, {353, 155, 21, 10}, {537, 155, 21, 10}};
    const QRect pidRect[3] = {{187, 96, 50, 129}, {370, 96, 51, 129}, {555, 96, 51, 129}};
    const QRect outRect[3] = {{237, 159, 14, 10}, {421, 159, 14, 10}, {606, 159, 14, 10}};
    const int fbX[3] = {207, 390, 575};
    const QPoint labelAt[3] = {{222, 254}, {404, 254}, {605, 254}};
    const QRect paRect[3] = {{162, 273, 100, 38}, {346, 273, 99, 38}, {531, 273, 99, 38}};

    for (int n = 0; n < 3; ++n) {
        swpid_[n] = radioGroup(d, swNames[n], swRect[n], swItems[n]);
        swpid_[n]->setItemRows(25, 18);
        imInPid_[n] = image(d, markerNames[n], markerRect[n], false, false);
        image(d, inNames[n], inRect[n], false);
        pid_[n] = panel(d, pidNames[n], QStringLiteral("ПИД%1").arg(n + 1), pidRect[n], n);
        imOutPid_[n] = image(d, outNames[n], outRect[n], false);
        fbImage_[n] = image(d, fbNames[n], {fbX[n], 224, 10, 50}, true);
        imFBOut_[n] = image(d, fbOutNames[n], {fbX[n], 261, 10, 14}, true, false);
        auto* label = new QLabel(QStringLiteral("FB%1").arg(n + 1), d);
        label->setObjectName(QLatin1String(labelNames[n]));
        label->move(labelAt[n]);
        label->adjustSize();
        paFB_[n] = panel(d, paNames[n], QStringLiteral("Analog Input %1").arg(n + 1), paRect[n], n);
    }
    // At start every set-point switch stands at "Откл."; no handler is attached yet,
    // so nothing runs.
    for (qmt::RadioGroup* sw : swpid_)
        sw->setItemIndex(qmt::modes::SetpointOff);

    imInOut = image(d, "imInOut", {630, 155, 14, 10}, false, false);
    swout = radioGroup(d, "swout", {643, 107, 80, 89},
                       {QStringLiteral("MB"), QStringLiteral("ПИД1"), QStringLiteral("ПИД2"),
                        QStringLiteral("ПИД3")});
    // Rows line up with the output routes, 17 px apart.
    swout->setItemRows(26, 17);
    image(d, "OutPid", {716, 147, 21, 10}, false);
    Out = panel(d, "Out", QStringLiteral("Out"), {734, 87, 45, 129}, 0);

    rgMode =
        radioGroup(d, "rgMode", {219, 342, 222, 70},
                   {QStringLiteral("Независимые входы и выход"), QStringLiteral("ПИД-регулятор")});
    rgMode->setTitle(QStringLiteral("Режим модуля"));
    qmt::PlaceItemsInFrame(rgMode);

    // The image arrows and labels sit above the panels they touch.
    for (QLabel* l : fbImage_)
        l->raise();
    for (QLabel* l : imFBOut_)
        l->raise();

    // Handlers: the switches run them by the selection rule, the blocks through the guard.
    swpid_[0]->setOnClick(qmt::handler(this, &TPidConf::swpid1Click));
    swpid_[1]->setOnClick(qmt::handler(this, &TPidConf::swpid2Click));
    swpid_[2]->setOnClick(qmt::handler(this, &TPidConf::swpid3Click));
    swout->setOnClick(qmt::handler(this, &TPidConf::swoutClick));
    rgMode->setOnClick(qmt::handler(this, &TPidConf::rgModeClick));
    for (ClickablePanel* p : pid_)
        connect(p, &ClickablePanel::clicked, this,
                [this, p] { qmt::guarded([&] { pidClick(p); }); });
    for (ClickablePanel* p : paFB_)
        connect(p, &ClickablePanel::clicked, this,
                [this, p] { qmt::guarded([&] { paFBClick(p); }); });
    connect(Out, &ClickablePanel::clicked, this,
            [this] { qmt::guarded(qmt::handler(this, &TPidConf::OutClick)); });
}

qmt::RouteGeometry TPidConf::routeGeometry() const {
    qmt::RouteGeometry g;
    g.imMBOut = imMBOut->geometry();
    for (int n = 0; n < 3; ++n) {
        g.swpid[n] = swpid_[n]->geometry();
        g.imInPid[n] = imInPid_[n]->geometry();
        g.pid[n] = pid_[n]->geometry();
        g.imOutPid[n] = imOutPid_[n]->geometry();
        g.paFB[n] = paFB_[n]->geometry();
    }
    g.swout = swout->geometry();
    g.imInOut = imInOut->geometry();
    return g;
}

void TPidConf::FormPaint(QPainter& canvas) {
    canvas.setPen(QPen(Qt::black, 2));
    canvas.setRenderHint(QPainter::Antialiasing, false);
    auto draw = [&](int sw, int item) {
        const qmt::Route& r = routes_[qmt::RouteIndex(sw, item)];
        canvas.drawPolyline(r.data(), static_cast<int>(r.size()));
    };
    for (int n = 0; n < 3; ++n) {
        const int item = swpid_[n]->itemIndex();
        if (item >= 0 && item < 5) draw(n, item);
    }
    if (swout->itemIndex() >= 0) draw(3, swout->itemIndex());
}
